#include "link/BaudOptions.h"
#include "link/Module1.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/RecordingViews.h"
#include "ui/SerialMenu.h"
#include "widgets/IndexedName.h"
#include "widgets/Twips.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

using Ports = QSet<int>;

// The program around the dialog: the serial control, the shared state and a
// main window that records its lamps.
class Rig {
public:
    explicit Rig(QWidget* owner = nullptr)
        : menu(module, [this] { ++endCalls; }, owner)
    {
        views.chooser = &menu;
        views.onSettingsModal = [this] { menu.showModal(); };
        views.ended = [this] { return endCalls > 0; };
        views.dialogShown = [this] { return menu.isVisible(); };
    }

    FakeSerialControl comm;
    RecordingViews views;
    Module1 module{comm, views};
    int endCalls = 0;
    SerialMenu menu;

    void start(const Ports& existing, const Ports& busy = {}, bool linesHeld = true)
    {
        comm.setExistingPorts(existing);
        comm.setBusyPorts(busy);
        comm.setLines(linesHeld, linesHeld);
        module.InitSerialLink();
    }

    template <typename T = QAbstractButton>
    T* control(const QString& name) const { return findControl<T>(menu, name); }
    QRadioButton* com(int port) const { return control<QRadioButton>(indexedName("ComSel", port)); }

    // Runs `open` (which shows the dialog modally) and `whileShown` once it is
    // up. False if the dialog never came up or had to be taken down by force.
    bool runModal(const std::function<void()>& whileShown, const std::function<void()>& open)
    {
        bool cameUp = false;
        bool forced = false;
        // Timers of this call only: none may fire after it has returned.
        QTimer kick;
        kick.setSingleShot(true);
        QObject::connect(&kick, &QTimer::timeout, &menu, [&] {
            cameUp = menu.isVisible();
            whileShown();
        });
        kick.start(0);
        // Repeats: a dialog that fails to close may be shown again by the opener.
        QTimer guard;
        QObject::connect(&guard, &QTimer::timeout, &menu, [&] {
            forced = true;
            menu.hide();
        });
        guard.start(3000);
        open();
        return cameUp && !forced && !menu.isVisible();
    }

    // What the main window's "Set RS232" item does before it shows the dialog.
    bool openFromMenu(const std::function<void()>& whileShown)
    {
        return runModal(whileShown, [this] {
            comm.setPortOpen(false);
            module.OldPort = module.SelPort;
            module.OldSettings = comm.Settings();
            menu.selectComSel(module.SelPort);
            if (const int option = baudOptionForSettings(comm.Settings()))
                menu.selectBaudOption(option);
            menu.showModal();
        });
    }

    bool startUp(const std::function<void()>& whileShown)
    {
        return runModal(whileShown, [this] { module.OpenPortAtStartup(); });
    }

    // Dismisses the dialog the way a row of a table names.
    void dismiss(const QString& how)
    {
        if (how == "close box")
            menu.close();
        else
            click(control(how == "OK" ? "Command1" : "Command2"));
    }

    static void click(QAbstractButton* button)
    {
        QVERIFY(button);
        QPoint at = button->rect().center();
        if (qobject_cast<QRadioButton*>(button)) {
            QStyleOptionButton option;
            option.initFrom(button);
            at = button->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, button).center();
        }
        QTest::mouseClick(button, Qt::LeftButton, {}, at);
    }
};

} // namespace

class TestSerialMenu : public QObject {
    Q_OBJECT

private slots:
    void controls_data();
    void controls();
    void windowIsFixedWithoutDefaultButton();
    void optionGroups();
    void selectingFromCodeRunsNoHandler();
    void portChoice_data();
    void portChoice();
    void tooltips_data();
    void tooltips();
    void noPortEndsProgram_data();
    void noPortEndsProgram();
    void cancelRestoresSavedPort_data();
    void cancelRestoresSavedPort();
    void okReopensAtChosenBaud();
    void okOnPortInUseLeavesItClosed();
    void lampRefreshOrder_data();
    void lampRefreshOrder();
    void silentModuleAtStartup_data();
    void silentModuleAtStartup();
    void enterAndEscPressNothing_data();
    void enterAndEscPressNothing();
    void centredOnOwner();
};

void TestSerialMenu::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("container");

    QTest::newRow("Frame2") << "Frame2" << "RS232 Serial Port " << "SerialMenu";
    for (int n = 1; n <= 16; ++n) {
        const QString name = indexedName("ComSel", n);
        QTest::newRow(qPrintable(name)) << name << QStringLiteral("Com%1").arg(n) << "Frame2";
    }
    QTest::newRow("Frame1") << "Frame1" << "Baud Rate" << "SerialMenu";
    QTest::newRow("Option1") << "Option1" << "2400" << "Frame1";
    QTest::newRow("Option2") << "Option2" << "4800" << "Frame1";
    QTest::newRow("Option3") << "Option3" << "9600" << "Frame1";
    QTest::newRow("Label1") << "Label1" << "Baud, 8, N, 1" << "SerialMenu";
    QTest::newRow("Command1") << "Command1" << "OK" << "SerialMenu";
    QTest::newRow("Command2") << "Command2" << "Cancel" << "SerialMenu";
}

void TestSerialMenu::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, container);

    Rig rig;
    const QList<QWidget*> found = rig.menu.findChildren<QWidget*>(name);
    QCOMPARE(found.size(), 1);
    QWidget* widget = found.front();
    QCOMPARE(widget->parentWidget()->objectName(), container);
    QString text;
    if (auto* frame = qobject_cast<QGroupBox*>(widget))
        text = frame->title();
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        text = button->text();
    else if (auto* label = qobject_cast<QLabel*>(widget))
        text = label->text();
    QCOMPARE(text, caption);
}

void TestSerialMenu::windowIsFixedWithoutDefaultButton()
{
    Rig rig;
    SerialMenu& menu = rig.menu;
    QCOMPARE(menu.objectName(), QStringLiteral("SerialMenu"));
    QCOMPARE(menu.windowTitle(), QStringLiteral("Serial Port Settings"));
    QVERIFY(!(menu.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    const double dpi = twips::logicalDpi(&menu);
    QCOMPARE(menu.minimumSize(), QSize(twips::toPixels(4200, dpi), twips::toPixels(4305, dpi)));
    QCOMPARE(menu.maximumSize(), menu.minimumSize());

    menu.show();  // a dialog picks a default button, if any may be one, when shown
    for (QPushButton* button : menu.findChildren<QPushButton*>()) {
        QVERIFY2(!button->isDefault(), qPrintable(button->objectName()));
        QVERIFY2(!button->autoDefault(), qPrintable(button->objectName()));
    }
}

void TestSerialMenu::optionGroups()
{
    Rig rig;
    rig.start({1, 5});
    rig.menu.show();

    Rig::click(rig.com(1));
    Rig::click(rig.com(5));
    QCOMPARE(rig.module.SelPort, 5);
    QVERIFY(rig.com(5)->isChecked());
    QVERIFY(!rig.com(1)->isChecked());

    // The baud options are a group of their own, and go to the control at once.
    Rig::click(rig.control("Option1"));
    QCOMPARE(rig.comm.Settings(), QStringLiteral("2400,N,8,1"));
    QVERIFY(rig.com(5)->isChecked());
    Rig::click(rig.control("Option2"));
    QCOMPARE(rig.comm.Settings(), QStringLiteral("4800,N,8,1"));
    QVERIFY(!rig.control("Option1")->isChecked());
    Rig::click(rig.control("Option3"));
    QCOMPARE(rig.comm.Settings(), QString::fromLatin1(kDefaultBaud.settings));
    QVERIFY(!rig.comm.PortOpen());

    // The option already chosen stores its number again.
    rig.module.SelPort = 0;
    Rig::click(rig.com(5));
    QCOMPARE(rig.module.SelPort, 5);
    QVERIFY(rig.com(5)->isChecked());

    // A port the probe could not open cannot be chosen.
    Rig::click(rig.com(2));
    QCOMPARE(rig.module.SelPort, 5);
    QVERIFY(!rig.com(2)->isChecked());
}

void TestSerialMenu::selectingFromCodeRunsNoHandler()
{
    Rig rig;
    rig.start({2});
    QCOMPARE(rig.module.SelPort, 2);
    const QList<QString> applied = rig.comm.appliedSettings();

    rig.menu.selectComSel(7);
    rig.menu.selectBaudOption(1);
    QVERIFY(rig.com(7)->isChecked());
    QVERIFY(rig.control("Option1")->isChecked());
    QCOMPARE(rig.module.SelPort, 2);
    QCOMPARE(rig.comm.Settings(), QString::fromLatin1(kDefaultBaud.settings));
    QCOMPARE(rig.comm.appliedSettings(), applied);

    rig.menu.selectComSel(0);
    rig.menu.selectBaudOption(0);
    for (QRadioButton* option : rig.menu.findChildren<QRadioButton*>())
        QVERIFY2(!option->isChecked(), qPrintable(option->objectName()));
}

void TestSerialMenu::portChoice_data()
{
    QTest::addColumn<Ports>("existing");
    QTest::addColumn<Ports>("busy");
    QTest::addColumn<int>("selPort");
    QTest::addColumn<int>("lastPort");

    QTest::newRow("1 and 2") << Ports{1, 2} << Ports{} << 2 << 2;
    QTest::newRow("1 and 3") << Ports{1, 3} << Ports{} << 1 << 3;
    QTest::newRow("4 and 7") << Ports{4, 7} << Ports{} << 4 << 7;
    QTest::newRow("only 16") << Ports{16} << Ports{} << 16 << 16;
    QTest::newRow("2 in use") << Ports{1, 2} << Ports{2} << 1 << 1;
    QTest::newRow("7 in use") << Ports{4, 7} << Ports{7} << 4 << 4;
    QTest::newRow("only one, in use") << Ports{3} << Ports{3} << 0 << 0;
    QTest::newRow("none") << Ports{} << Ports{} << 0 << 0;
}

void TestSerialMenu::portChoice()
{
    QFETCH(Ports, existing);
    QFETCH(Ports, busy);
    QFETCH(int, selPort);
    QFETCH(int, lastPort);

    Rig rig;
    rig.start(existing, busy);
    QCOMPARE(rig.module.SelPort, selPort);
    QCOMPARE(rig.module.LastPort, lastPort);
    QVERIFY(!rig.comm.PortOpen());
    for (int n = 1; n <= 16; ++n) {
        const bool usable = existing.contains(n) && !busy.contains(n);
        QVERIFY2(rig.com(n)->isEnabled() == usable, qPrintable(rig.com(n)->objectName()));
        QVERIFY(!rig.com(n)->isChecked());
    }
    QVERIFY(rig.control("Option3")->isChecked());
    QVERIFY(rig.control("Option1")->isEnabled() && rig.control("Option2")->isEnabled());
}

void TestSerialMenu::tooltips_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("tip");

    QTest::newRow("opened") << 1 << "fake1";
    QTest::newRow("missing") << 2 << "fake2 (missing)";
    QTest::newRow("in use") << 3 << "fake3 (in use)";
}

void TestSerialMenu::tooltips()
{
    QFETCH(int, port);
    QFETCH(QString, tip);

    Rig rig;
    rig.start({1, 3}, {3});
    QCOMPARE(rig.com(port)->toolTip(), tip);
}

void TestSerialMenu::noPortEndsProgram_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("OK") << "OK";
    QTest::newRow("Cancel") << "Cancel";
    QTest::newRow("close box") << "close box";
}

void TestSerialMenu::noPortEndsProgram()
{
    QFETCH(QString, how);

    Rig rig;
    rig.start({});
    const bool ran = rig.startUp([&] {
        for (int n = 1; n <= 16; ++n)
            QVERIFY(!rig.com(n)->isEnabled());
        Rig::click(rig.com(4));
        QCOMPARE(rig.module.SelPort, 0);
        Rig::click(rig.control("Option2"));
        QCOMPARE(rig.comm.Settings(), QStringLiteral("4800,N,8,1"));
        QCOMPARE(rig.endCalls, 0);
        rig.dismiss(how);
    });
    QVERIFY(ran);
    QCOMPARE(rig.endCalls, 1);
    QCOMPARE(rig.comm.openCount(), 0);
    QVERIFY(rig.views.paints.isEmpty());
}

void TestSerialMenu::cancelRestoresSavedPort_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel") << "Cancel";
    QTest::newRow("close box") << "close box";
}

void TestSerialMenu::cancelRestoresSavedPort()
{
    QFETCH(QString, how);

    Rig rig;
    rig.start({1, 5});
    rig.module.OpenPortAtStartup();  // the module answers: no dialog
    QCOMPARE(rig.comm.CommPort(), 1);
    QVERIFY(rig.comm.PortOpen());

    QVERIFY(rig.openFromMenu([&] {
        QVERIFY(rig.com(1)->isChecked());
        QVERIFY(rig.control("Option3")->isChecked());
        Rig::click(rig.com(5));
        Rig::click(rig.control("Option1"));
        QCOMPARE(rig.comm.Settings(), QStringLiteral("2400,N,8,1"));
        rig.dismiss(how);
    }));
    QVERIFY(rig.comm.PortOpen());
    QCOMPARE(rig.comm.CommPort(), 1);
    QCOMPARE(rig.comm.Settings(), QString::fromLatin1(kDefaultBaud.settings));
    QCOMPARE(rig.comm.openedPorts().last(), 1);
    QCOMPARE(rig.comm.appliedSettings().last(), QString::fromLatin1(kDefaultBaud.settings));
    // Only the control is put back, not the choice or the options.
    QCOMPARE(rig.module.SelPort, 5);
    QVERIFY(rig.com(5)->isChecked());
    QVERIFY(rig.control("Option1")->isChecked());
    QCOMPARE(rig.endCalls, 0);

    // The next opening starts from Com5, and a further Cancel restores it.
    QVERIFY(rig.openFromMenu([&] {
        QVERIFY(rig.com(5)->isChecked());
        rig.dismiss(how);
    }));
    QCOMPARE(rig.module.OldPort, 5);
    QCOMPARE(rig.comm.CommPort(), 5);
    QVERIFY(rig.comm.PortOpen());
    QCOMPARE(rig.comm.openedPorts().last(), 5);
}

void TestSerialMenu::okReopensAtChosenBaud()
{
    Rig rig;
    rig.start({1, 2});
    rig.module.OpenPortAtStartup();
    QCOMPARE(rig.comm.CommPort(), 2);

    QVERIFY(rig.openFromMenu([&] {
        Rig::click(rig.control("Option1"));
        Rig::click(rig.com(1));
        QVERIFY(!rig.comm.PortOpen());  // nothing is reopened before OK
        Rig::click(rig.control("Command1"));
    }));
    QVERIFY(rig.comm.PortOpen());
    QCOMPARE(rig.comm.CommPort(), 1);
    QCOMPARE(rig.comm.Settings(), QStringLiteral("2400,N,8,1"));
    QCOMPARE(rig.comm.openedPorts().last(), 1);
    QCOMPARE(rig.comm.appliedSettings().last(), QStringLiteral("2400,N,8,1"));
}

void TestSerialMenu::okOnPortInUseLeavesItClosed()
{
    Rig rig;
    rig.start({1, 3});
    rig.module.OpenPortAtStartup();
    QCOMPARE(rig.comm.CommPort(), 1);
    rig.comm.setBusyPorts({3});  // taken by another program since start-up
    const int opens = rig.comm.openCount();

    QVERIFY(rig.openFromMenu([&] {
        Rig::click(rig.com(3));
        Rig::click(rig.control("Command1"));
    }));
    QVERIFY(!rig.comm.PortOpen());
    QCOMPARE(rig.comm.CommPort(), 3);
    QCOMPARE(rig.comm.openCount(), opens);
    QVERIFY(!QApplication::activeModalWidget());  // no message box
    QCOMPARE(rig.views.paints.size(), 4);
    QCOMPARE(rig.views.paints[2].colour, kColBlack);
    QCOMPARE(rig.views.paints[3].colour, kColBlack);
}

void TestSerialMenu::lampRefreshOrder_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    QTest::addColumn<bool>("dialogShown");

    // Lite3 (the "CTS" row) shows CTS, Lite1 (the "DSR" row) DSR.
    QTest::newRow("OK: CTS, DSR, after hiding") << "OK" << 3 << 1 << false;
    QTest::newRow("Cancel: DSR, CTS, before hiding") << "Cancel" << 1 << 3 << true;
    QTest::newRow("close box as Cancel") << "close box" << 1 << 3 << true;
}

void TestSerialMenu::lampRefreshOrder()
{
    QFETCH(QString, how);
    QFETCH(int, first);
    QFETCH(int, second);
    QFETCH(bool, dialogShown);

    Rig rig;
    rig.start({2});
    rig.module.OpenPortAtStartup();
    rig.views.paints.clear();

    QVERIFY(rig.openFromMenu([&] { rig.dismiss(how); }));
    QVERIFY(rig.comm.PortOpen());
    const QList<RecordingViews::Paint> paints = rig.views.paints;
    QCOMPARE(paints.size(), 2);
    QCOMPARE(paints[0].lamp, first);
    QCOMPARE(paints[1].lamp, second);
    for (const RecordingViews::Paint& paint : paints) {
        QCOMPARE(paint.colour, kColGreen);
        QCOMPARE(paint.dialogShown, dialogShown);
    }
}

void TestSerialMenu::silentModuleAtStartup_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("clickPort");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("settings");

    // OldPort is still 0: Cancel's port number is refused and the chosen port stays.
    QTest::newRow("Cancel") << "Cancel" << 0 << 2 << kDefaultBaud.settings;
    QTest::newRow("Cancel after Com4") << "Cancel" << 4 << 2 << kDefaultBaud.settings;
    QTest::newRow("OK") << "OK" << 0 << 2 << "2400,N,8,1";
    QTest::newRow("OK after Com4") << "OK" << 4 << 4 << "2400,N,8,1";
}

void TestSerialMenu::silentModuleAtStartup()
{
    QFETCH(QString, how);
    QFETCH(int, clickPort);
    QFETCH(int, port);
    QFETCH(QString, settings);

    Rig rig;
    rig.start({2, 4}, {}, false);
    QVERIFY(rig.startUp([&] {
        QVERIFY(!rig.comm.PortOpen());
        QVERIFY(rig.com(2)->isChecked());
        QVERIFY(rig.views.paints.isEmpty());
        Rig::click(rig.control("Option1"));
        if (clickPort)
            Rig::click(rig.com(clickPort));
        rig.dismiss(how);
    }));
    QCOMPARE(rig.module.OldPort, 0);
    QVERIFY(rig.comm.PortOpen());
    QCOMPARE(rig.comm.CommPort(), port);
    QCOMPARE(rig.comm.Settings(), settings);
    QCOMPARE(rig.comm.openedPorts().last(), port);
    QCOMPARE(rig.endCalls, 0);
}

void TestSerialMenu::enterAndEscPressNothing_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");

    QTest::newRow("Return on OK") << "Command1" << int(Qt::Key_Return);
    QTest::newRow("Enter on OK") << "Command1" << int(Qt::Key_Enter);
    QTest::newRow("Return on Cancel") << "Command2" << int(Qt::Key_Return);
    QTest::newRow("Esc on Cancel") << "Command2" << int(Qt::Key_Escape);
    QTest::newRow("Esc on a port") << "ComSel(2)" << int(Qt::Key_Escape);
    QTest::newRow("Return on a baud") << "Option3" << int(Qt::Key_Return);
}

void TestSerialMenu::enterAndEscPressNothing()
{
    QFETCH(QString, focus);
    QFETCH(int, key);

    Rig rig;
    rig.start({2});
    rig.module.OpenPortAtStartup();
    rig.views.paints.clear();

    QVERIFY(rig.openFromMenu([&] {
        QWidget* target = rig.control<QWidget>(focus);
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QCoreApplication::processEvents();
        QVERIFY(rig.menu.isVisible());
        QVERIFY(!rig.comm.PortOpen());
        QVERIFY(rig.views.paints.isEmpty());
        Rig::click(rig.control("Command2"));
    }));
    QCOMPARE(rig.endCalls, 0);
    QCOMPARE(rig.views.paints.size(), 2);  // from Cancel alone
}

void TestSerialMenu::centredOnOwner()
{
    QWidget owner;
    owner.setGeometry(200, 150, 900, 700);
    owner.show();
    Rig rig(&owner);
    rig.start({2});
    QPoint centre;
    QVERIFY(rig.runModal([&] {
        centre = rig.menu.frameGeometry().center();
        rig.dismiss("Cancel");
    }, [&] { rig.menu.showModal(); }));
    QVERIFY2((centre - owner.frameGeometry().center()).manhattanLength() <= 4,
             qPrintable(QStringLiteral("%1,%2").arg(centre.x()).arg(centre.y())));
}

QTEST_MAIN(TestSerialMenu)
#include "tst_serialmenu.moc"
