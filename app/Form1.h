#pragma once

// The main window: analog channel grid, digital controls, sampling buttons,
// line lamps and the menu bar. Construction and layout are in Form1.cpp, the
// readings and sampling in Form1Sampling.cpp, the menus in Form1Menus.cpp.
//
// It works on the shared state and the serial control, reaches the echo window
// and the settings dialog through the link's views, and states as signals the
// windows the user asks for and the end of the program; whoever owns it
// connects those.

#include "link/Acquisition.h"
#include "link/LinkViews.h"

#include <QMainWindow>
#include <QTimer>
#include <array>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class Lamp;
class FramePacer;
class Module1;
class SerialControl;

class Form1 : public QMainWindow, public MainPanel {
    Q_OBJECT

public:
    Form1(Module1& module, SerialControl& comm);
    ~Form1() override;

    // --- Start-up and sampling cycle.
    void Form_Load();
    void Timer1_Timer();
    void MaxSamp_Click();
    void Halfsec_Click();
    void onesec_Click();
    void tensec_Click();
    void ADCmdbut_Click(int index);
    void Command3_Click();
    void Command3_MouseDown();
    void Command3_MouseUp();
    void MSComm1_OnComm();

    // --- Digital input and output.
    void Command1_Click();
    void Dighi_Click();
    void DigLo_Click();
    void Command13_MouseDown();
    void Command13_MouseUp();
    void Command13_Click();
    void Command7_Click();

    // --- Sampling start and stop.
    void Command12_Click();
    void Command6_Click();

    // --- Menus and secondary windows.
    void SetComMenu_Click();
    void SelDisp_Click();
    void AnamenFrm_Click();
    void showabout_Click();
    void Endme_Click();
    void Command4_Click();

    QTimer& Timer1() { return m_timer1; }
    void stopTimer() { m_timer1.stop(); }

    // MainPanel
    void paintLite1(Colour colour) override;
    void paintLite3(Colour colour) override;
    void paintDLite(int line, Colour colour) override;
    void setDinTxt(int line, const QString& text) override;
    void setADValTxt(int channel, const QString& text) override;
    void setVolValTxt(int channel, const QString& text) override;
    void paintLiteXfer(Colour colour) override;
    void showMissedReplies(long long count) override;

signals:
    void exitRequested();
    void echoWindowRequested();
    // The channel box's text has been worked out from the channel last chosen.
    void analogOutputWindowRequested(const QString& channelText);
    void aboutRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int kChannels = 7;
    static constexpr int kFirstLine = 3;
    static constexpr int kLastLine = 5;

    void buildControls();
    void buildMenus();
    void setTabOrder();
    void describeControls();   // Form1Access.cpp
    void nameCommand7();
    void wireHandlers();
    void wirePacer();
    void centreOnScreen();
    void setSendingButtonsEnabled(bool enabled);
    void setOutputLevel(int level);
    void sendOutputLevel(int level);

    Module1& m_module;
    SerialControl& MSComm1;
    QTimer m_timer1;
    // The sampling cycle, driven from Timer1_Timer and MSComm1_OnComm with
    // Timer1 as its pause.
    acquisition::Acquisition m_acquisition{m_module, m_timer1};

    std::array<QPushButton*, kChannels> ADCmdbut{};
    std::array<Lamp*, kChannels> ChLite{};
    std::array<QLineEdit*, kChannels> ADValTxt{};
    std::array<QLineEdit*, kChannels> VolValTxt{};
    std::array<Lamp*, kLastLine + 1> DLite{};
    std::array<QLineEdit*, kLastLine + 1> DinTxt{};
    std::array<Lamp*, 2> SamLite{};
    QPushButton* Command1 = nullptr;
    QPushButton* Command3 = nullptr;
    QPushButton* Command4 = nullptr;
    QPushButton* Command6 = nullptr;
    QPushButton* Command7 = nullptr;
    QPushButton* Command12 = nullptr;
    QPushButton* Command13 = nullptr;
    Lamp* LiteXfer = nullptr;
    FramePacer* m_pacer = nullptr;
    Lamp* Lite1 = nullptr;
    Lamp* Lite3 = nullptr;

    QAction* SetComMenu = nullptr;
    QAction* SelDisp = nullptr;
    QAction* Endme = nullptr;
    QAction* MaxSamp = nullptr;
    QAction* Halfsec = nullptr;
    QAction* onesec = nullptr;
    QAction* tensec = nullptr;
    QAction* Dighi = nullptr;
    QAction* DigLo = nullptr;
    QAction* AnamenFrm = nullptr;
    QAction* showabout = nullptr;
};
