#pragma once

#include "platform/SystemTools.h"

#include <QDialog>
#include <stdexcept>

class QLabel;
class QPushButton;

// Raised when a registry value cannot be turned into text (one of size 0);
// the System Info button turns it into its one message.
class RegistryValueError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The About box: title, version, a description of the module, the disclaimer,
// and a button that starts the system information tool. OK destroys the box;
// the owner builds a new one on the next opening.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    explicit frmAbout(SystemTools& tools, QWidget* parent = nullptr);

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();
    // Reads one registry value as text into KeyVal; true when it was read. A
    // value of size 0 abandons the lookup by throwing (after closing the key).
    bool GetKeyValue(RegKey KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                     QString& KeyVal);

protected:
    // Esc presses OK, as Enter does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildLayout();
    void wireHandlers();

    SystemTools& m_tools;

    QLabel* m_picIcon = nullptr;
    QLabel* m_lblTitle = nullptr;
    QLabel* m_lblVersion = nullptr;
    QLabel* m_lblDescription = nullptr;
    QLabel* m_lblDisclaimer = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdSysInfo = nullptr;
};
