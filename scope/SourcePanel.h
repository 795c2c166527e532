#pragma once

// The side panel's choice of source: the simulated module, a COM port, a
// device path or a bench on a broker (its URL where a device path goes),
// with the baud rate and the presence check, and what became of the last
// connection.

#include "front/LinkOptions.h"
#include "front/MqttOptions.h"
#include "scope/ScopePanel.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace scope {

class SourcePanel : public QGroupBox, public ScopePanel {
    Q_OBJECT

public:
    explicit SourcePanel(ScopeSession& session, QWidget* parent = nullptr);

    // Connects the session to the source chosen here; empty when it
    // opened, else why not.
    QString connectChosen();
    // Shows a choice made elsewhere (the command line), so that it is kept.
    void showLink(const front::LinkOptions& link);
    void showBroker(const front::MqttOptions& options);
    void follow(const ScopeSession& session) override;

protected:
    void load(QSettings& settings) override;
    void save(QSettings& settings) const override;

private:
    void fillPorts();
    void showConnected();

    ScopeSession& m_session;
    QComboBox* m_sourceCombo = nullptr;
    QLineEdit* m_devicePath = nullptr;
    QComboBox* m_baudCombo = nullptr;
    QCheckBox* m_presenceCheck = nullptr;
    QPushButton* m_connectButton = nullptr;
    QLabel* m_state = nullptr;
};

} // namespace scope
