// The main window's readings: start-up, on-demand reads, the digital controls,
// the receive event handler and the continuous sampling cycle.

#include "app/Form1.h"

#include "app/Form1Layout.h"
#include "link/Module1.h"
#include "link/NumberText.h"
#include "link/Protocol.h"
#include "link/SerialControl.h"
#include "widgets/Lamp.h"

#include <QPushButton>

using namespace form1layout;

void Form1::Form_Load()
{
    m_module.InitSerialLink();
    m_timer1.setInterval(kTimerStartMs);
    m_timer1.stop();
    Command7->setText(QStringLiteral("D-On"));
    m_module.DinMode = 0;
    centreOnScreen();
    show();
    Command4->setFocus();
    m_module.OpenPortAtStartup();
}

// ---------------------------------------------------------------- sampling cycle

void Form1::Timer1_Timer()
{
    // Timer1 stopped, the read request, SampCount one more.
    m_acquisition.pauseEnded();
}

void Form1::MaxSamp_Click() { m_timer1.setInterval(kMaxSpeedMs); }
void Form1::Halfsec_Click() { m_timer1.setInterval(kHalfSecondMs); }
void Form1::onesec_Click() { m_timer1.setInterval(kOneSecondMs); }
void Form1::tensec_Click() { m_timer1.setInterval(kTenSecondsMs); }

void Form1::MSComm1_OnComm()
{
    Module1& m = m_module;
    LiteXfer->setColour(m.ColYellow);
    switch (MSComm1.CommEvent()) {
    case SerialControl::kComEvSend:
        LiteXfer->setColour(m.ColYellow);
        break;
    case SerialControl::kComEvReceive:
        LiteXfer->setColour(m.ColBlack);
        m_acquisition.replyArrived();
        break;
    case SerialControl::kComEvCTS:
        m.ShowCtsLamp();
        break;
    case SerialControl::kComEvDSR:
        m.ShowDsrLamp();
        break;
    default:
        break;
    }
    const int waiting = MSComm1.InBufferCount();
    if (waiting > 1)
        LiteXfer->setColour(m.ColGreen);
    if (waiting == 0)
        LiteXfer->setColour(m.ColBlack);
    if (m.ReplyOverdue)
        LiteXfer->setColour(m.ColRed);   // until the next complete reply

    // While sampling: the digital read after the analog one, or Timer1
    // enabled for the next cycle; nothing while the port is lost.
    m_acquisition.commEventDone();
}

// ---------------------------------------------------------------- replies that go wrong

void Form1::paintLiteXfer(Colour colour) { LiteXfer->setColour(colour); }

void Form1::showMissedReplies(long long count)
{
    const QString text = QStringLiteral("Replies missed: %1").arg(count);
    LiteXfer->setToolTip(text);
    LiteXfer->setAccessibleDescription(text);
}


// ---------------------------------------------------------------- on-demand reads

void Form1::ADCmdbut_Click(int index)
{
    for (Lamp* lamp : ChLite)
        lamp->setColour(m_module.ColBlack);
    m_module.TopChan = index;
    for (int i = 0; i <= index; ++i)
        ChLite[i]->setColour(m_module.ColGreen);
    m_module.RequestAnalog();
}

void Form1::Command3_Click()
{
    for (int i = 0; i <= m_module.TopChan; ++i)
        ChLite[i]->setColour(m_module.ColGreen);
    m_module.RequestAnalog();
}

void Form1::Command3_MouseDown() { SamLite[1]->setColour(m_module.ColGreen); }
void Form1::Command3_MouseUp() { SamLite[1]->setColour(m_module.ColBlack); }

// ---------------------------------------------------------------- digital lines

// Every change of the output is read back at once, so the lamps show what the
// module reports rather than what was asked for.
void Form1::sendOutputLevel(int level)
{
    m_module.SetOutputLine(level);
}

void Form1::Command1_Click()
{
    auto& state = m_module.DigData[protocol::kOutputLine][0];
    state = state <= 0 ? 1 : 0;
    sendOutputLevel(state);
}

void Form1::setOutputLevel(int level)
{
    if (m_module.Sampling > 0)
        return;
    m_module.DoutLevel = level;
    sendOutputLevel(m_module.DoutLevel);
}

void Form1::Dighi_Click() { setOutputLevel(1); }
void Form1::DigLo_Click() { setOutputLevel(0); }

void Form1::Command13_MouseDown()
{
    SamLite[0]->setColour(m_module.ColGreen);
    m_module.RequestDigital();
}

void Form1::Command13_MouseUp() { SamLite[0]->setColour(m_module.ColBlack); }
void Form1::Command13_Click() { m_module.RequestDigital(); }

void Form1::Command7_Click()
{
    if (m_module.DinMode <= 0) {
        m_module.DinMode = 1;
        Command7->setText(QStringLiteral("D-Off"));
        nameCommand7();
        SamLite[0]->setColour(m_module.ColRed);
    } else {
        m_module.DinMode = 0;
        Command7->setText(QStringLiteral("D-On"));
        nameCommand7();
        SamLite[0]->setColour(m_module.ColBlack);
    }
}

// ---------------------------------------------------------------- start and stop

void Form1::setSendingButtonsEnabled(bool enabled)
{
    for (QPushButton* b : ADCmdbut)
        b->setEnabled(enabled);
    for (QPushButton* b : {Command7, Command1, Command12, Command13, Command3})
        b->setEnabled(enabled);
}

void Form1::Command12_Click()
{
    Module1& m = m_module;
    for (int i = 0; i <= m.TopChan; ++i)
        ChLite[i]->setColour(m.ColGreen);
    // The channels and the digital read as the window has them, Timer1's
    // pause as the menu set it.
    m_acquisition.setSettings({.topChannel = m.TopChan, .digital = m.DinMode > 0, .pauseMs = m_timer1.interval()});
    m_acquisition.start();   // Sampling 1, SampCount 0, Timer1 enabled
    SamLite[1]->setColour(m.ColGreen);
    SamLite[0]->setColour(m.DinMode <= 0 ? m.ColBlack : m.ColGreen);
    setSendingButtonsEnabled(false);
}

void Form1::Command6_Click()
{
    Module1& m = m_module;
    m_acquisition.stop();   // Sampling 0, Timer1 stopped
    SamLite[0]->setColour(m.DinMode <= 0 ? m.ColBlack : m.ColRed);
    SamLite[1]->setColour(m.ColRed);
    setSendingButtonsEnabled(true);
    m.views().echoPanel().setLabel2(numberText(m.SampCount));
}
