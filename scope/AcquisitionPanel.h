#pragma once

// The side panel's acquisition: the channels scanned, the digital lines, the
// pause between scans (a named one or a number of ms) and the button that
// starts and stops sampling. Every change goes to the session at once.

#include "link/Acquisition.h"
#include "scope/ScopePanel.h"

#include <QGroupBox>

#include <optional>

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
    // The pause between scans, ms (0..an hour), as the Pause field takes it.
    void setPause(int ms);
    void follow(const ScopeSession& session) override;

protected:
    void load(QSettings& settings) override;
    void save(QSettings& settings) const override;

private:
    void apply();
    std::optional<int> chosenPause() const;

    ScopeSession& m_session;
    QSpinBox* m_topChannel = nullptr;
    QCheckBox* m_digital = nullptr;
    QComboBox* m_pause = nullptr;
    QPushButton* m_startButton = nullptr;
};

} // namespace scope
