#pragma once

// The side panel's recording: the format, the button that asks for a file
// and starts (or stops) recording to it, and how the recording goes: its
// time, rows and size, or why it stopped.

#include "scope/ScopePanel.h"

#include <QGroupBox>

class QComboBox;
class QLabel;
class QPushButton;

namespace scope {

class RecordPanel : public QGroupBox, public ScopePanel {
    Q_OBJECT

public:
    explicit RecordPanel(ScopeSession& session, QWidget* parent = nullptr);

    // On: asks for a file and records to it; off: ends the recording.
    void setRecording(bool on);
    void follow(const ScopeSession& session) override;

protected:
    void load(QSettings& settings) override;
    void save(QSettings& settings) const override;

private:
    void chooseFile();

    ScopeSession& m_session;
    QComboBox* m_format = nullptr;
    QPushButton* m_button = nullptr;
    QLabel* m_state = nullptr;
};

} // namespace scope
