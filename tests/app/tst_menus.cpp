// The menus that open the other windows, and ending the program.

#include "tests/app/ProgramRig.h"

#include "generated/ZoltVersion.h"
#include "platform/SystemTools.h"
#include "tests/support/Wait.h"
#include "ui/DispForm.h"
#include "ui/Form3.h"
#include "ui/SerialMenu.h"
#include "ui/frmAbout.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>

namespace {

// Runs `inside` while the settings dialog is up, then closes it with Cancel.
void whileSettingsShown(ProgramRig& rig, const QString& item, const std::function<void(SerialMenu&)>& inside)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        SerialMenu& dialog = rig.program->serialMenu();
        if (!dialog.isVisible())
            return;
        ran = true;
        inside(dialog);
        if (dialog.isVisible())
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
    });
    rig.action(item)->trigger();
    rig.settle();
    QVERIFY(ran);
}

QRadioButton* option(SerialMenu& dialog, const QString& name)
{
    return dialog.findChild<QRadioButton*>(name);
}

} // namespace

class TestMenus : public QObject {
    Q_OBJECT

private slots:
    void menuTree_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("under");
        QTest::newRow("Tmenu") << "Tmenu" << "Settings" << "";
        QTest::newRow("SetComMenu") << "SetComMenu" << "Set RS232" << "Tmenu";
        QTest::newRow("SelDisp") << "SelDisp" << "Display" << "Tmenu";
        QTest::newRow("Endme") << "Endme" << "Exit" << "Tmenu";
        QTest::newRow("Samplerate") << "Samplerate" << "Sampling" << "";
        QTest::newRow("MaxSamp") << "MaxSamp" << "Max Speed" << "Samplerate";
        QTest::newRow("Halfsec") << "Halfsec" << "0.5 sec" << "Samplerate";
        QTest::newRow("onesec") << "onesec" << "1 sec" << "Samplerate";
        QTest::newRow("tensec") << "tensec" << "10 sec" << "Samplerate";
        QTest::newRow("DAsetFm") << "DAsetFm" << "Outputs" << "";
        QTest::newRow("Dmenfrm") << "Dmenfrm" << "Digital" << "DAsetFm";
        QTest::newRow("Dighi") << "Dighi" << "Set High" << "Dmenfrm";
        QTest::newRow("DigLo") << "DigLo" << "Set Low" << "Dmenfrm";
        QTest::newRow("AnamenFrm") << "AnamenFrm" << "Analog Voltages" << "DAsetFm";
        QTest::newRow("showaboat") << "showaboat" << "About" << "";
        QTest::newRow("showabout") << "showabout" << "Program" << "showaboat";
    }
    void menuTree()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, under);
        ProgramRig rig;
        QMenuBar* bar = rig.form().menuBar();
        QAction* item = nullptr;
        QWidget* container = under.isEmpty() ? static_cast<QWidget*>(bar) : rig.form().findChild<QMenu*>(under);
        QVERIFY(container);
        for (QAction* a : container->actions()) {
            if (a->objectName() == name)
                item = a;
        }
        QVERIFY2(item, "not found under its menu");
        QCOMPARE(item->text(), caption);
        QVERIFY(item->isEnabled() && item->isVisible() && !item->isCheckable());
        QVERIFY(item->shortcut().isEmpty());
    }

    void menuBarOrder()
    {
        ProgramRig rig;
        QStringList names;
        for (QAction* a : rig.form().menuBar()->actions())
            names << a->objectName();
        QCOMPARE(names, (QStringList{"Tmenu", "Samplerate", "DAsetFm", "showaboat"}));
    }

    // ------------------------------------------------------------ Set RS232

    void setRs232ClosesAndPreselects()
    {
        ProgramRig rig(QSet<int>{2, 5});
        rig.start();
        rig.comm->setSettings(QStringLiteral("4800,N,8,1"));
        rig.m().SelPort = 5;   // as a port click in an earlier opening leaves it
        whileSettingsShown(rig, QStringLiteral("SetComMenu"), [&](SerialMenu& dialog) {
            QVERIFY(!rig.comm->PortOpen());
            QVERIFY(dialog.isModal());
            QCOMPARE(rig.m().OldPort, 5);
            QCOMPARE(rig.m().OldSettings, QStringLiteral("4800,N,8,1"));
            QVERIFY(option(dialog, QStringLiteral("ComSel(5)"))->isChecked());
            QVERIFY(option(dialog, QStringLiteral("Option2"))->isChecked());
            // Preselecting changed neither the port number nor the line settings.
            QCOMPARE(rig.comm->CommPort(), 2);
            QCOMPARE(rig.comm->Settings(), QStringLiteral("4800,N,8,1"));
        });
        // Cancel reopened the saved port with the saved settings.
        QVERIFY(rig.comm->PortOpen());
        QCOMPARE(rig.comm->CommPort(), 5);
    }

    void setRs232StopsTheTimerAndToleratesAClosedPort()
    {
        ProgramRig rig;
        rig.start();
        rig.form().Timer1().start();
        rig.comm->setPortOpen(false);
        whileSettingsShown(rig, QStringLiteral("SetComMenu"), [&](SerialMenu&) {
            QVERIFY(!rig.form().Timer1().isActive());
        });
        QVERIFY(rig.comm->PortOpen());
        QCOMPARE(rig.ended, 0);
    }

    void setRs232DoesNothingWhileSampling()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command12"));
        rig.choose(QStringLiteral("SetComMenu"));
        QVERIFY(rig.comm->PortOpen());
        QVERIFY(!rig.program->serialMenu().isVisible());
        QVERIFY(rig.form().Timer1().isActive());
        QCOMPARE(rig.m().OldPort, 0);
    }

    void baudChangeReachesTheReopenedPort()
    {
        ProgramRig rig;
        rig.start();
        whileSettingsShown(rig, QStringLiteral("SetComMenu"), [&](SerialMenu& dialog) {
            QTest::mouseClick(option(dialog, QStringLiteral("Option1")), Qt::LeftButton);
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        });
        QVERIFY(rig.comm->PortOpen());
        QCOMPARE(rig.comm->appliedSettings().last(), QStringLiteral("2400,N,8,1"));
        QCOMPARE(rig.lamp("Lite1")->colour(), kColGreen);
    }

    // ------------------------------------------------------------ Display

    void displayClearsAndEchoes()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command6"));   // leaves a count in the second line
        rig.choose(QStringLiteral("SelDisp"));
        DispForm& echo = rig.program->dispForm();
        auto* label1 = echo.findChild<QLabel*>(QStringLiteral("Label1"));
        auto* label2 = echo.findChild<QLabel*>(QStringLiteral("Label2"));
        QVERIFY(echo.isVisible());
        QCOMPARE(rig.m().EchoOn, True);
        QVERIFY(label1->text().isEmpty() && label2->text().isEmpty());
        rig.click(QStringLiteral("Command13"));
        QCOMPARE(label1->text(), QStringLiteral("!0RD"));

        rig.choose(QStringLiteral("SelDisp"));   // again: one window, both lines cleared
        QVERIFY(label1->text().isEmpty());
        QCOMPARE(rig.form().findChildren<DispForm*>().size(), 1);
        QCOMPARE(rig.m().EchoOn, True);

        QTest::mouseClick(echo.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        QVERIFY(!echo.isVisible());
        QCOMPARE(rig.m().EchoOn, False);
        rig.click(QStringLiteral("Command13"));
        QVERIFY(label1->text().isEmpty());   // no echo after Done
    }

    void displayWorksWhileSampling()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command12"));
        rig.choose(QStringLiteral("SelDisp"));
        QVERIFY(rig.program->dispForm().isVisible());
    }

    // ------------------------------------------------------------ Analog Voltages

    void analogVoltagesFillsTheChannelBox()
    {
        ProgramRig rig;
        rig.start();
        rig.choose(QStringLiteral("AnamenFrm"));
        Form3& outputs = rig.program->form3();
        QVERIFY(outputs.isVisible());
        auto* chbox = outputs.findChild<QLineEdit*>(QStringLiteral("Chbox"));
        QCOMPARE(chbox->text(), QStringLiteral(" 0"));

        QTest::mouseClick(outputs.findChild<QPushButton*>(QStringLiteral("ChCmd(3)")), Qt::LeftButton);
        chbox->setText(QStringLiteral("junk"));
        QTest::mouseClick(outputs.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);   // Done
        QVERIFY(!outputs.isVisible());
        rig.choose(QStringLiteral("AnamenFrm"));
        QCOMPARE(chbox->text(), QStringLiteral(" 3"));
        QCOMPARE(rig.form().findChildren<Form3*>().size(), 1);
    }

    void analogOutputSetSendsItsCode()
    {
        ProgramRig rig;
        rig.start();
        rig.choose(QStringLiteral("AnamenFrm"));
        Form3& outputs = rig.program->form3();
        QTest::mouseClick(outputs.findChild<QPushButton*>(QStringLiteral("ChCmd(3)")), Qt::LeftButton);
        auto* text1 = outputs.findChild<QLineEdit*>(QStringLiteral("Text1"));
        text1->setFocus();
        text1->clear();
        QTest::keyClicks(text1, QStringLiteral("1000"));
        QTest::mouseClick(outputs.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
        QCOMPARE(rig.comm->writes(), QList<QByteArray>{QByteArray("!0SV\xC8\x40", 6)});
    }

    void analogVoltagesDoesNothingWhileSampling()
    {
        ProgramRig rig;
        rig.start();
        rig.choose(QStringLiteral("AnamenFrm"));
        Form3& outputs = rig.program->form3();
        QTest::mouseClick(outputs.findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        rig.click(QStringLiteral("Command12"));
        rig.choose(QStringLiteral("AnamenFrm"));
        QVERIFY(!outputs.isVisible());
    }

    void outputsWindowOpenedBeforeSamplingKeepsWorking()
    {
        ProgramRig rig;
        rig.start();
        rig.choose(QStringLiteral("AnamenFrm"));
        rig.click(QStringLiteral("Command12"));
        Form3& outputs = rig.program->form3();
        QTest::mouseClick(outputs.findChild<QPushButton*>(QStringLiteral("Command2")), Qt::LeftButton);
        QCOMPARE(rig.comm->writes().first(), QByteArray("!0SV\x00\x00", 6));
    }

    void closedOutputsWindowStartsAfresh()
    {
        ProgramRig rig;
        rig.start();
        rig.choose(QStringLiteral("AnamenFrm"));
        auto* text1 = rig.program->form3().findChild<QLineEdit*>(QStringLiteral("Text1"));
        text1->setText(QStringLiteral("12"));
        rig.program->form3().close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!rig.program->hasForm3());
        rig.choose(QStringLiteral("AnamenFrm"));
        QVERIFY(rig.program->form3().findChild<QLineEdit*>(QStringLiteral("Text1"))->text().isEmpty());
    }

    // ------------------------------------------------------------ About

    void aboutOpensOnceAndOkDestroysIt()
    {
        ProgramRig rig;
        rig.start();
        rig.choose(QStringLiteral("showabout"));
        rig.choose(QStringLiteral("showabout"));
        QCOMPARE(rig.form().findChildren<frmAbout*>().size(), 1);
        frmAbout& about = rig.program->about();
        QVERIFY(about.isVisible());
        QCOMPARE(about.windowTitle(), QStringLiteral("About ZOLT Control"));
        QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!rig.program->hasAbout());
        rig.click(QStringLiteral("Command12"));   // no test of sampling here
        rig.choose(QStringLiteral("showabout"));
        QVERIFY(rig.program->hasAbout());
        QCOMPARE(rig.program->about().findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
                 QStringLiteral("Version ") + QLatin1String(zoltversion::kVersionText));
    }

    // ------------------------------------------------------------ ending

    void exitEndsAtOnce_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("menu item") << "Endme";
        QTest::newRow("button") << "Command4";
        QTest::newRow("close request") << "close";
    }
    void exitEndsAtOnce()
    {
        QFETCH(QString, how);
        ProgramRig rig;
        rig.start();
        rig.choose(QStringLiteral("MaxSamp"));
        rig.click(QStringLiteral("Command12"));   // also while sampling runs
        QVERIFY(testwait::until([&] { return !rig.comm->written().isEmpty(); }));
        rig.comm->clearWritten();
        if (how == QLatin1String("Endme"))
            rig.choose(how);
        else if (how == QLatin1String("Command4"))
            rig.click(how);
        else
            rig.form().close();
        QCOMPARE(rig.ended, 1);
        QVERIFY(!rig.comm->PortOpen());
        // Nothing sent on the way out.
        QVERIFY(testwait::holdsFor([&] { return rig.comm->written().isEmpty(); }, 10));
    }
};

QTEST_MAIN(TestMenus)
#include "tst_menus.moc"
