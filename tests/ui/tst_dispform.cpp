#include "link/Module1.h"
#include "link/Protocol.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/RecordingViews.h"
#include "ui/DispForm.h"
#include "widgets/ByteText.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

namespace {

// The program around the echo window, which is made (hidden) by the first
// write that finds none, as the program's own windows are.
class Rig {
public:
    Rig()
    {
        comm.setExistingPorts({2});
        comm.setCommPort(2);
        comm.setPortOpen(true);
        views.echo = [this]() -> EchoPanel& { return dispForm(); };
    }
    ~Rig() { delete form; }

    FakeSerialControl comm;
    RecordingViews views;
    Module1 module{comm, views};
    QPointer<DispForm> form;

    DispForm& dispForm()
    {
        if (!form)
            form = new DispForm(module);
        return *form;
    }
    // What the main window's "Display" item does.
    void openFromMenu()
    {
        dispForm().clearLines();
        module.EchoOn = True;
        form->show();
    }
    QLabel* label(const char* name) const { return findControl<QLabel>(*form, QLatin1String(name)); }
};

} // namespace

class TestDispForm : public QObject {
    Q_OBJECT

private slots:
    void visibleBytes_data();
    void visibleBytes();
    void createdFields();
    void echoOfCommands_data();
    void echoOfCommands();
    void doneHidesAndStopsEcho();
    void closeBoxDiscardsWindow();
};

void TestDispForm::visibleBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("printable range ends") << QByteArray(" AZaz09!~") << " AZaz09!~";
    QTest::newRow("angle brackets") << QByteArray("<>") << "<>";
    QTest::newRow("NUL alone") << QByteArray(1, '\0') << "<00>";
    QTest::newRow("NUL does not cut") << QByteArray("A\0B", 3) << "A<00>B";
    QTest::newRow("below blank") << QByteArray("\x01\x1F") << "<01><1F>";
    QTest::newRow("DEL") << QByteArray("\x7F") << "<7F>";
    QTest::newRow("high bytes") << QByteArray("\x80\xA9\xFF") << "<80><A9><FF>";
    QTest::newRow("read analog 3") << QByteArray("!0RA\x03") << "!0RA<03>";
}

void TestDispForm::visibleBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(::visibleBytes(bytes), text);
}

void TestDispForm::createdFields()
{
    Rig rig;
    DispForm& form = rig.dispForm();
    QVERIFY(form.isWindow());
    QCOMPARE(form.windowTitle(), QStringLiteral("Display"));
    QCOMPARE(rig.label("Label1")->text(), QStringLiteral("Label1"));
    QCOMPARE(rig.label("Label2")->text(), QStringLiteral("Label2"));
    QCOMPARE(rig.label("Label3")->text(), QString());
    for (const char* name : {"Label1", "Label2", "Label3"}) {
        QLabel* field = rig.label(name);
        QVERIFY2(field->autoFillBackground(), name);
        QCOMPARE(field->palette().color(field->backgroundRole()), QColor(Qt::white));
    }
    QCOMPARE(form.findChild<QPushButton*>(QStringLiteral("Command1"))->text(), QStringLiteral("Done"));

    rig.openFromMenu();
    QCOMPARE(rig.label("Label1")->text(), QString());
    QCOMPARE(rig.label("Label2")->text(), QString());
}

void TestDispForm::echoOfCommands_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("shown");

    QTest::newRow("read analog 0") << protocol::readAnalogCommand(0) << "!0RA<00>";
    QTest::newRow("read analog 6") << protocol::readAnalogCommand(6) << "!0RA<06>";
    QTest::newRow("read digital") << protocol::readDigitalCommand() << "!0RD";
    QTest::newRow("outputs off") << protocol::setOutputsCommand(0) << "!0SO<00>";
    QTest::newRow("analog, NUL first") << protocol::setAnalogCommand(0x00, 0x70) << "!0SV<00>p";
    QTest::newRow("analog, high bytes") << protocol::setAnalogCommand(0xFF, 0x80) << "!0SV<FF><80>";
}

void TestDispForm::echoOfCommands()
{
    QFETCH(QByteArray, command);
    QFETCH(QString, shown);

    Rig rig;
    rig.openFromMenu();
    // A longer text first: the new command must replace all of it.
    rig.module.CmdStr = protocol::setAnalogCommand(0x1F, 0xFF);
    rig.module.SendCommand();
    QCOMPARE(rig.label("Label1")->text(), QStringLiteral("!0SV<1F><FF>"));

    rig.module.CmdStr = command;
    rig.module.SendCommand();
    QCOMPARE(rig.comm.writes().last(), command);
    QCOMPARE(rig.label("Label1")->text(), shown);
    QCOMPARE(rig.label("Label1")->textFormat(), Qt::PlainText);
}

void TestDispForm::doneHidesAndStopsEcho()
{
    Rig rig;
    rig.openFromMenu();
    rig.module.RequestDigital();
    QCOMPARE(rig.label("Label1")->text(), QStringLiteral("!0RD"));

    QTest::mouseClick(rig.form->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
    QVERIFY(!rig.form->isVisible());
    QCOMPARE(rig.module.EchoOn, False);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(rig.form);  // hidden, not discarded

    rig.module.TopChan = 2;
    rig.module.RequestAnalog();
    QCOMPARE(rig.label("Label1")->text(), QStringLiteral("!0RD"));

    rig.openFromMenu();
    rig.module.RequestAnalog();
    QCOMPARE(rig.label("Label1")->text(), QStringLiteral("!0RA<02>"));
}

void TestDispForm::closeBoxDiscardsWindow()
{
    Rig rig;
    rig.openFromMenu();
    const QPointer<DispForm> first = rig.form;
    QVERIFY(first->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(first.isNull());
    QCOMPARE(rig.module.EchoOn, True);

    // The next command makes a new window, hidden, that holds it.
    rig.module.RequestDigital();
    QVERIFY(rig.form);
    QVERIFY(!rig.form->isVisible());
    QCOMPARE(rig.label("Label1")->text(), QStringLiteral("!0RD"));
}

QTEST_MAIN(TestDispForm)
#include "tst_dispform.moc"
