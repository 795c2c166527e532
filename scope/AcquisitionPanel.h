#pragma once

// The side panel's acquisition: the channels scanned, the digital lines, the
// pause between scans (a named one or a number of ms) and the button that
// starts and stops sampling. Every change goes to the session at once.

#include "link/Acquisition.h"
#include "scope/ScopePanel.h"

#include <QGroupBox>

class QCheckBox;
class QComboBox;
class QPushButton;
class QSpinBox;

namespace scope {

class AcquisitionPanel : public QGroupBox, public ScopePanel {
    Q_OBJECT

public:
    explicit AcquisitionPanel(ScopeSession& session, QWidget* parent = nullptr);

    acquisition::Settings chosen() const;
    void follow(const ScopeSession& session) override;

protected:
    void load(QSettings& settings) override;
    void save(QSettings& settings) const override;

private:
    void apply();

    ScopeSession& m_session;
    QSpinBox* m_topChannel = nullptr;
    QCheckBox* m_digital = nullptr;
    QComboBox* m_pause = nullptr;
    QPushButton* m_startButton = nullptr;
};

} // namespace scope
