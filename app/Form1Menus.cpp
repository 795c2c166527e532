// The main window's menus that open the other windows, and ending the program.

#include "app/Form1.h"

#include "link/Module1.h"
#include "link/NumberText.h"
#include "link/SerialControl.h"

void Form1::SetComMenu_Click()
{
    Module1& m = m_module;
    if (m.Sampling > 0)
        return;
    m_timer1.stop();
    (void)MSComm1.setPortOpen(false);   // closing a closed port is no error worth a word
    m.OldPort = m.SelPort;
    m.OldSettings = MSComm1.Settings();

    PortChooser& dialog = m.views().portChooser();
    dialog.selectComSel(m.SelPort);
    if (const int option = baudOptionForSettings(MSComm1.Settings()))
        dialog.selectBaudOption(option);
    m.views().showSettingsModal();
}

void Form1::SelDisp_Click()
{
    EchoPanel& echo = m_module.views().echoPanel();
    echo.setLabel2(QString());
    echo.setLabel1(QByteArray());
    m_module.EchoOn = True;
    emit echoWindowRequested();
}

void Form1::AnamenFrm_Click()
{
    if (m_module.Sampling > 0)
        return;
    emit analogOutputWindowRequested(numberText(m_module.DacChan));
}

void Form1::showabout_Click() { emit aboutRequested(); }

void Form1::Endme_Click() { emit exitRequested(); }
void Form1::Command4_Click() { emit exitRequested(); }
