// What assistive technology finds on the real windows, read through
// QAccessible as a screen reader reads it: a name on every control, text box
// and lamp, and lamps whose description follows their colour.

#include "tests/app/ProgramRig.h"
#include "tests/support/Controls.h"
#include "ui/DispForm.h"
#include "ui/Form3.h"
#include "ui/SerialMenu.h"
#include "ui/frmAbout.h"

#include <QAccessible>
#include <QLabel>
#include <QRadioButton>

namespace {

QAccessibleInterface* accessible(QObject* object)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    if (!iface)
        qFatal("no accessible interface for %s", qPrintable(object->objectName()));
    return iface;
}

QString nameOf(QObject* object) { return accessible(object)->text(QAccessible::Name); }
QString descriptionOf(QObject* object) { return accessible(object)->text(QAccessible::Description); }
QString valueOf(QObject* object) { return accessible(object)->text(QAccessible::Value); }

template <typename T = QWidget>
T* child(QWidget* window, const QString& name)
{
    return findControl<T>(*window, name);
}

// Every widget a user can reach, or that shows a state, must be named.
void checkEveryControlNamed(QWidget* window)
{
    QStringList unnamed;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const bool reachable = w->focusPolicy() != Qt::NoFocus && !qobject_cast<QLabel*>(w);
        if ((reachable || qobject_cast<Lamp*>(w)) && nameOf(w).trimmed().isEmpty())
            unnamed << w->objectName();
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(u' ')));
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

private slots:
    void mainWindowNames_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("count box") << "ADValTxt(3)" << "Channel 3 reading, counts";
        QTest::newRow("millivolt box") << "VolValTxt(0)" << "Channel 0 reading, millivolts";
        QTest::newRow("channel button") << "ADCmdbut(6)" << "Channel 6";
        QTest::newRow("channel lamp") << "ChLite(2)" << "Channel 2 lamp, no channel chosen yet";
        QTest::newRow("output lamp") << "DLite(3)" << "Digital output Out line, not read yet";
        QTest::newRow("input D0 lamp") << "DLite(4)" << "Digital input D0 line, not read yet";
        QTest::newRow("input D1 box") << "DinTxt(5)" << "Digital input D1, value";
        QTest::newRow("output switch") << "Command1" << "Digital output On/Off";
        QTest::newRow("digital read state") << "SamLite(0)" << "Digital reading, off";
        QTest::newRow("analog sampling state") << "SamLite(1)" << "Analog sampling, idle";
        QTest::newRow("start picture") << "Command12" << "Start Samples";
        QTest::newRow("stop picture") << "Command6" << "Stop";
        QTest::newRow("exit") << "Command4" << "Exit";
        QTest::newRow("transfer lamp") << "LiteXfer" << "Transfer status, idle";
        QTest::newRow("lamp beside CTS") << "Lite3" << "CTS line, high";
        QTest::newRow("lamp beside DSR") << "Lite1" << "DSR line, high";
        QTest::newRow("digital per cycle") << "Command7" << "D-On, digital lines in each sampling cycle";
    }

    void mainWindowNames()
    {
        QFETCH(QString, control);
        QFETCH(QString, name);
        ProgramRig rig;
        rig.start();
        QCOMPARE(nameOf(rig.find(control)), name);
    }

    void everyMainWindowControlNamedOnce()
    {
        ProgramRig rig;
        rig.start();
        checkEveryControlNamed(&rig.form());
        QSet<QString> seen;
        for (Lamp* lamp : rig.form().findChildren<Lamp*>()) {
            QVERIFY2(!seen.contains(nameOf(lamp)), qPrintable(nameOf(lamp)));
            seen.insert(nameOf(lamp));
            QCOMPARE(accessible(lamp)->role(), QAccessible::StaticText);
        }
    }

    void lampsSayWhatTheirColourMeans()
    {
        ProgramRig rig;
        rig.start();
        auto meaning = [&](const char* lamp) { return descriptionOf(rig.lamp(QLatin1String(lamp))); };
        QCOMPARE(meaning("SamLite(0)"), QStringLiteral("off"));
        QCOMPARE(meaning("SamLite(1)"), QStringLiteral("idle"));
        QCOMPARE(meaning("ChLite(0)"), QStringLiteral("no channel chosen yet"));
        QCOMPARE(meaning("DLite(3)"), QStringLiteral("not read yet"));
        QCOMPARE(meaning("Lite1"), QStringLiteral("high"));   // the module holds both lines
        QCOMPARE(meaning("Lite3"), QStringLiteral("high"));

        rig.click(QStringLiteral("ADCmdbut(2)"));
        QCOMPARE(meaning("ChLite(2)"), QStringLiteral("read"));
        QCOMPARE(meaning("ChLite(3)"), QStringLiteral("not read"));

        rig.click(QStringLiteral("Command7"));
        QCOMPARE(meaning("SamLite(0)"), QStringLiteral("switched on, sampling stopped"));
        QCOMPARE(nameOf(rig.button("Command7")), QStringLiteral("D-Off, digital lines in each sampling cycle"));

        rig.click(QStringLiteral("Command12"));
        QCOMPARE(meaning("SamLite(0)"), QStringLiteral("reading in progress"));
        QCOMPARE(meaning("SamLite(1)"), QStringLiteral("reading in progress"));
        rig.click(QStringLiteral("Command6"));
        QCOMPARE(meaning("SamLite(1)"), QStringLiteral("sampling stopped"));
        QCOMPARE(valueOf(rig.lamp("SamLite(1)")), QStringLiteral("sampling stopped"));

        // Each line lamp speaks for the line its label names.
        rig.comm->setLines(false, true);   // CTS dropped, DSR held
        rig.settle();
        QCOMPARE(nameOf(rig.lamp("Lite3")), QStringLiteral("CTS line, low"));
        QCOMPARE(meaning("Lite3"), QStringLiteral("low"));
        QCOMPARE(meaning("Lite1"), QStringLiteral("high"));
    }

    void digitalLinesReadHighAndLow()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command13"));
        rig.reply(QByteArray("\x28", 1));   // lines 3 and 5 high, 4 low
        QCOMPARE(descriptionOf(rig.lamp("DLite(3)")), QStringLiteral("high"));
        QCOMPARE(descriptionOf(rig.lamp("DLite(4)")), QStringLiteral("low"));
        QCOMPARE(descriptionOf(rig.lamp("DLite(5)")), QStringLiteral("high"));
    }

    // A missed reply turns the transfer lamp red; what the link adds about it
    // (set as the lamp's description) follows the meaning and stays with it.
    void missedReplyKeepsTheLinksText()
    {
        ProgramRig rig;
        rig.start();
        Lamp* xfer = rig.lamp("LiteXfer");
        rig.reply(QByteArray("\x01\x02\x03", 3));   // bytes nobody asked for wait
        QCOMPARE(descriptionOf(xfer), QStringLiteral("reply arriving"));
        xfer->setAccessibleDescription(QStringLiteral("Replies missed: 2"));
        xfer->setColour(kColRed);
        QCOMPARE(valueOf(xfer), QStringLiteral("reply missed"));
        QCOMPARE(descriptionOf(xfer), QStringLiteral("reply missed. Replies missed: 2"));
        xfer->setColour(kColBlack);
        QCOMPARE(descriptionOf(xfer), QStringLiteral("idle. Replies missed: 2"));
    }

    void secondaryWindowNames_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::newRow("typed voltage") << "Form3" << "Text1" << "Output voltage, millivolts";
        QTest::newRow("coarse slider") << "Form3" << "Slider1" << "Output voltage, 0 mV to 4300 mV";
        QTest::newRow("fine slider") << "Form3" << "Slider2" << "Fine Adjust, +0 to +10";
        QTest::newRow("output channel") << "Form3" << "ChCmd(2)" << "Analog output channel 2";
        QTest::newRow("channel box") << "Form3" << "Chbox" << "Channel";
        QTest::newRow("baud option") << "SerialMenu" << "Option3" << "9600 baud";
        QTest::newRow("port option") << "SerialMenu" << "ComSel(9)" << "Com9";
        QTest::newRow("about picture") << "frmAbout" << "picIcon" << "Program icon: a meter dial";
        QTest::newRow("echo done") << "DispForm" << "Command1" << "Done";
    }

    void secondaryWindowNames()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, name);
        ProgramRig rig;
        rig.start();
        QCOMPARE(nameOf(child(windowNamed(rig, window), control)), name);
    }

    void everySecondaryControlNamed()
    {
        ProgramRig rig;
        rig.start();
        for (const char* window : {"Form3", "SerialMenu", "frmAbout", "DispForm"}) {
            QWidget* w = windowNamed(rig, QLatin1String(window));
            checkEveryControlNamed(w);
        }
        QCOMPARE(descriptionOf(child(windowNamed(rig, "DispForm"), "Label1")),
                 QStringLiteral("Last command sent"));
    }

    // Each window is a window to assistive technology, named by its title;
    // the echo window's fields are named by what they show and hold.
    void windowsAndTheirFields()
    {
        ProgramRig rig;
        rig.start();
        for (const char* window : {"Form3", "DispForm", "frmAbout"}) {
            QWidget* w = windowNamed(rig, QLatin1String(window));
            QVERIFY2(accessible(w)->role() == QAccessible::Window || accessible(w)->role() == QAccessible::Dialog,
                     window);
            QCOMPARE(nameOf(w), w->windowTitle());
        }
        QCOMPARE(accessible(&rig.program->serialMenu())->role(), QAccessible::Dialog);
        QCOMPARE(accessible(&rig.form())->role(), QAccessible::Window);

        rig.choose(QStringLiteral("SelDisp"));
        QWidget* echo = windowNamed(rig, "DispForm");
        QCOMPARE(nameOf(child(echo, "Label1")), QStringLiteral("Last command sent, empty"));
        QCOMPARE(nameOf(child(echo, "Label2")), QStringLiteral("Next channel of the reply, or the sample count, empty"));
        QVERIFY(!nameOf(child(echo, "Label3")).isEmpty());
        rig.click(QStringLiteral("ADCmdbut(0)"));
        QCOMPARE(nameOf(child(echo, "Label1")), QStringLiteral("Last command sent: ") + child<QLabel>(echo, "Label1")->text());
        QVERIFY(child<QLabel>(echo, "Label1")->text().startsWith(QLatin1String("!0RA")));
        rig.reply(QByteArray("\x01\x02", 2));
        QCOMPARE(nameOf(child(echo, "Label2")), QStringLiteral("Next channel of the reply, or the sample count: -1"));
    }

    void aboutBoxByKeyboard()
    {
        ProgramRig rig;
        rig.start();
        QWidget* about = windowNamed(rig, "frmAbout");
        rig.form().hide();   // so that the box, not the main window, is active
        about->show();
        QApplication::setActiveWindow(about);
        QVERIFY(QTest::qWaitForWindowActive(about));
        QCOMPARE(QApplication::focusWidget(), child(about, "cmdOK"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), child(about, "cmdSysInfo"));
    }

    // Ports, then baud rate, then OK and Cancel: each group is reached with
    // Tab and worked with the arrow keys.
    void settingsDialogByKeyboard()
    {
        ProgramRig rig({2, 9});
        rig.start();
        auto& dialog = rig.program->serialMenu();
        rig.form().hide();
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        child(&dialog, "ComSel(2)")->setFocus();
        QStringList seen;
        for (int i = 0; i < 6 && QApplication::focusWidget(); ++i) {
            QWidget* focused = QApplication::focusWidget();
            if (seen.isEmpty() || seen.last() != focused->objectName())
                seen << focused->objectName();
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        const qsizetype port = seen.indexOf(QStringLiteral("ComSel(2)"));
        const qsizetype ok = seen.indexOf(QStringLiteral("Command1"));
        const qsizetype cancel = seen.indexOf(QStringLiteral("Command2"));
        qsizetype baud = -1;
        for (const char* option : {"Option1", "Option2", "Option3"})
            baud = std::max(baud, seen.indexOf(QLatin1String(option)));
        QVERIFY2(port == 0 && baud > port && ok > baud && cancel > ok, qPrintable(seen.join(u' ')));

        child(&dialog, "ComSel(2)")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), child(&dialog, "ComSel(9)"));   // the absent ports are skipped
        dialog.hide();
    }

private:
    static QWidget* windowNamed(ProgramRig& rig, const QString& name)
    {
        if (name == QLatin1String("Form3"))
            return &rig.program->form3();
        if (name == QLatin1String("SerialMenu"))
            return &rig.program->serialMenu();
        if (name == QLatin1String("frmAbout"))
            return &rig.program->about();
        return &rig.program->dispForm();
    }
};

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
