#pragma once

#include "link/LinkViews.h"

#include <QDialog>
#include <array>
#include <functional>

class Module1;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The modal dialog in which the user picks the COM port and the baud rate of
// the link. It keeps no state beyond its option buttons: a baud click goes to
// the serial control at once, a port click only to SelPort, and OK or Cancel
// reopen the port.
class SerialMenu : public QDialog, public PortChooser {
    Q_OBJECT

public:
    // endProgram is run when OK or Cancel find that no port exists at all.
    SerialMenu(Module1& module, std::function<void()> endProgram, QWidget* parent = nullptr);

    // Shows the dialog modally, centred on its owner; returns once it is hidden.
    void showModal();

    // PortChooser. Selecting an option here runs none of the click handlers.
    // A port outside 1..16, or a baud option outside 1..3, clears that group.
    void setComSelEnabled(int port, bool enabled) override;
    void describeComSel(int port, const QString& device, PortProblem problem) override;
    void selectComSel(int port) override;
    void selectBaudOption(int option) override;

    // Handlers, the same code a click runs.
    void ComSel_Click(int index);
    void Option1_Click();
    void Option2_Click();
    void Option3_Click();
    void Command1_Click();
    void Command2_Click();

    // Esc must not dismiss the dialog: the port is closed while it is up, and
    // only OK or Cancel reopen it.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    // The title-bar close button does what Cancel does.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void wireHandlers();
    QRadioButton* comSel(int port) const;
    static void clearGroup(QButtonGroup* group);
    void takeBaudOption(int option);
    // True (and the program ended) when the start-up probe found no port.
    bool endedForNoPort();

    Module1& m_module;
    std::function<void()> m_endProgram;

    QGroupBox* m_frame2 = nullptr;
    QGroupBox* m_frame1 = nullptr;
    std::array<QRadioButton*, 17> m_comSel{};  // 1..16; entry 0 unused
    QButtonGroup* m_comGroup = nullptr;
    QRadioButton* m_option1 = nullptr;
    QRadioButton* m_option2 = nullptr;
    QRadioButton* m_option3 = nullptr;
    QButtonGroup* m_baudGroup = nullptr;
    QLabel* m_label1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
};
