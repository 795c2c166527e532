// The main window's menus that open the other windows, and ending the program.

#include "app/Form1.h"

#include "ui/DispForm.h"
#include "ui/Form3.h"
#include "link/Module1.h"
#include "link/NumberText.h"
#include "link/SerialControl.h"
#include "ui/SerialMenu.h"
#include "app/ZoltProgram.h"
#include "ui/frmAbout.h"

#include <QLineEdit>

namespace {

void bringForward(QWidget& window)
{
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace

void Form1::SetComMenu_Click()
{
    Module1& m = m_module;
    if (m.Sampling > 0)
        return;
    m_timer1.stop();
    (void)MSComm1.setPortOpen(false);   // closing a closed port is no error worth a word
    m.OldPort = m.SelPort;
    m.OldSettings = MSComm1.Settings();

    SerialMenu& dialog = m_program.serialMenu();
    dialog.selectComSel(m.SelPort);
    const QString baud = MSComm1.Settings().left(4);
    if (baud == QLatin1String("2400"))
        dialog.selectBaudOption(1);
    else if (baud == QLatin1String("4800"))
        dialog.selectBaudOption(2);
    else if (baud == QLatin1String("9600"))
        dialog.selectBaudOption(3);
    dialog.showModal();
}

void Form1::SelDisp_Click()
{
    DispForm& echo = m_program.dispForm();
    echo.setLabel2(QString());
    echo.setLabel1(QByteArray());
    m_module.EchoOn = True;
    bringForward(echo);
}

void Form1::AnamenFrm_Click()
{
    if (m_module.Sampling > 0)
        return;
    Form3& outputs = m_program.form3();
    if (auto* box = outputs.findChild<QLineEdit*>(QStringLiteral("Chbox")))
        box->setText(numberText(m_module.DacChan));
    bringForward(outputs);
}

void Form1::showabout_Click()
{
    bringForward(m_program.about());
}

void Form1::Endme_Click() { m_program.End(); }
void Form1::Command4_Click() { m_program.End(); }
