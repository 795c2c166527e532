// Shows every window of the program, started as ZOLTrc starts it on a scripted
// serial control with a module answering on COM2, and saves a picture of each.
//
//   shoot OUTPUT_DIR

#include "app/Form1.h"
#include "app/ZoltProgram.h"
#include "tests/screenshots/Shot.h"
#include "tests/support/FakeSerialControl.h"
#include "ui/DispForm.h"
#include "ui/Form3.h"
#include "ui/SerialMenu.h"
#include "ui/frmAbout.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTest>

namespace {

void settle(int ms = 100)
{
    QTest::qWait(ms);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);

    auto control = std::make_unique<FakeSerialControl>();
    FakeSerialControl* comm = control.get();
    comm->setExistingPorts({1, 2, 9});
    comm->setLines(true, true);
    ZoltProgram program(std::move(control));
    program.start();
    Form1& form = program.form1();

    // A reading of all seven channels and of the digital lines.
    form.findChild<QPushButton*>(QStringLiteral("ADCmdbut(6)"))->click();
    settle(10);
    comm->feed(QByteArray::fromHex("0fff0d05 0a5b 0800 05a0 0301 0001"));
    settle(10);
    form.findChild<QPushButton*>(QStringLiteral("Command13"))->click();
    settle(10);
    comm->feed(QByteArray::fromHex("28"));
    settle(10);
    form.findChild<QPushButton*>(QStringLiteral("Command7"))->click();

    bool ok = saveShot(form, dir, QStringLiteral("Form1"));

    form.findChild<QAction*>(QStringLiteral("SelDisp"))->trigger();
    form.findChild<QPushButton*>(QStringLiteral("Command3"))->click();
    ok = saveShot(program.dispForm(), dir, QStringLiteral("DispForm")) && ok;

    form.findChild<QAction*>(QStringLiteral("AnamenFrm"))->trigger();
    ok = saveShot(program.form3(), dir, QStringLiteral("Form3")) && ok;

    form.findChild<QAction*>(QStringLiteral("showabout"))->trigger();
    ok = saveShot(program.about(), dir, QStringLiteral("frmAbout")) && ok;

    // The settings dialog is modal; picture it while it is up.
    QTimer::singleShot(300, [&] {
        ok = saveShot(program.serialMenu(), dir, QStringLiteral("SerialMenu")) && ok;
        program.serialMenu().findChild<QPushButton*>(QStringLiteral("Command2"))->click();
    });
    form.findChild<QAction*>(QStringLiteral("SetComMenu"))->trigger();
    return ok ? 0 : 1;
}
