// The device-link routines on a scripted serial control: what each request
// writes and how it arms reception, and the analog output value path.

#include "link/BaudOptions.h"
#include "link/Module1.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/RecordingViews.h"

#include <QSignalSpy>
#include <QTest>

class TestModule1 : public QObject {
    Q_OBJECT

    FakeSerialControl* comm = nullptr;
    RecordingViews* views = nullptr;
    Module1* m = nullptr;

    void openOn(int port)
    {
        comm->setExistingPorts({port});
        comm->setLines(true, true);
        m->InitSerialLink();
        m->OpenPortAtStartup();
        QVERIFY(comm->PortOpen());
        comm->clearWritten();
    }

private slots:
    void init()
    {
        comm = new FakeSerialControl;
        views = new RecordingViews;
        m = new Module1(*comm, *views);
    }
    void cleanup()
    {
        delete m;
        delete views;
        delete comm;
    }

    void initialStateBeforeSetUp()
    {
        QCOMPARE(m->ColGreen, 0);
        QCOMPARE(m->EchoOn, False);
        QCOMPARE(m->AnaData[6][1], 0);
        QVERIFY(m->CmdStr.isEmpty());
    }

    void setUpConfiguresTheControl()
    {
        comm->setExistingPorts({1});
        m->InitSerialLink();
        QCOMPARE(m->ColRed, 255);
        QCOMPARE(m->ColGreen, 65280);
        QCOMPARE(m->ColYellow, 65535);
        QCOMPARE(m->ColBlack, 0);
        QCOMPARE(comm->Settings(), QString::fromLatin1(kDefaultBaud.settings));
        QCOMPARE(m->OldSettings, QString::fromLatin1(kDefaultBaud.settings));
        QCOMPARE(views->baudOption, 3);
        QVERIFY(comm->RTSEnable() && comm->DTREnable());
        QCOMPARE(comm->Handshaking(), SerialControl::Handshake::None);
        QCOMPARE(comm->inputMode(), SerialControl::InputMode::Binary);
        QCOMPARE(comm->RThreshold(), 1);
        QCOMPARE(comm->SThreshold(), 1);
        QCOMPARE(comm->InputLen(), 2);
        QCOMPARE(m->RxChan, -1);
        QCOMPARE(m->SelPort, 1);
        QCOMPARE(m->LastPort, 1);
        for (int n = 0; n <= 7; ++n)
            QCOMPARE(int(m->DigData[n][2]), 1 << n);
        QVERIFY(!comm->PortOpen());   // the probe leaves every port closed
        QVERIFY(comm->written().isEmpty());
    }

    void startUpOpensWhenTheModuleAnswers()
    {
        comm->setExistingPorts({2, 5});
        comm->setLines(true, true);
        m->InitSerialLink();
        m->OpenPortAtStartup();
        QVERIFY(comm->PortOpen());
        QCOMPARE(comm->CommPort(), 2);
        QCOMPARE(views->selectedPort, 2);
        QCOMPARE(views->modalShown, 0);
        QCOMPARE(views->lamps["Lite1"], kColGreen);
        QCOMPARE(views->lamps["Lite3"], kColGreen);
        QVERIFY(comm->dtrLine() && comm->rtsLine());
        QVERIFY(comm->written().isEmpty());   // nothing is sent at start-up
    }

    void startUpFallsBackWhenALineIsLow_data()
    {
        QTest::addColumn<bool>("cts");
        QTest::addColumn<bool>("dsr");
        QTest::newRow("DSR only") << false << true;
        QTest::newRow("CTS only") << true << false;
        QTest::newRow("neither") << false << false;
    }
    void startUpFallsBackWhenALineIsLow()
    {
        QFETCH(bool, cts);
        QFETCH(bool, dsr);
        comm->setExistingPorts({3});
        comm->setLines(cts, dsr);
        m->InitSerialLink();
        m->OpenPortAtStartup();
        QCOMPARE(views->modalShown, 1);
        QVERIFY(views->lampsAtModal.empty());   // lamps are painted only after the dialog
        QVERIFY(!comm->PortOpen());
        QCOMPARE(views->lamps["Lite1"], kColBlack);
        QCOMPARE(views->lamps["Lite3"], kColBlack);
    }

    void noPortShowsTheDialogFirst()
    {
        m->InitSerialLink();
        QCOMPARE(m->LastPort, 0);
        QCOMPARE(m->SelPort, 0);
        for (int n = 1; n <= 16; ++n)
            QCOMPARE(views->comSelEnabled[n], false);
        m->OpenPortAtStartup();
        QVERIFY(views->modalShown >= 1);
        QVERIFY(!comm->PortOpen());
    }

    void requestsArmReception()
    {
        openOn(2);
        m->TopChan = 6;
        m->RequestAnalog();
        QCOMPARE(comm->written(), QByteArray("!0RA\x06", 5));
        QCOMPARE(comm->RThreshold(), 2);
        QCOMPARE(m->RxChan, 6);
        QCOMPARE(m->RxMode, kRxAnalog);

        comm->clearWritten();
        m->RequestDigital();
        QCOMPARE(comm->written(), QByteArray("!0RD"));
        QCOMPARE(comm->RThreshold(), 1);
        QCOMPARE(m->RxChan, 0);
        QCOMPARE(m->RxMode, kRxDigital);
    }

    void digitalRequestInsideSamplingMarksItIssued_data()
    {
        QTest::addColumn<int>("sampling");
        QTest::addColumn<int>("dinBefore");
        QTest::addColumn<int>("dinAfter");
        QTest::newRow("sampling, read on") << 1 << 1 << 2;
        QTest::newRow("sampling, read off") << 1 << 0 << 0;
        QTest::newRow("stopped, read on") << 0 << 1 << 1;
    }
    void digitalRequestInsideSamplingMarksItIssued()
    {
        QFETCH(int, sampling);
        QFETCH(int, dinBefore);
        QFETCH(int, dinAfter);
        openOn(2);
        m->Sampling = sampling;
        m->DinMode = static_cast<std::int16_t>(dinBefore);
        m->RequestDigital();
        QCOMPARE(int(m->DinMode), dinAfter);
    }

    void commandsEchoOnlyWhileEchoIsOn()
    {
        openOn(2);
        m->RequestDigital();
        QCOMPARE(views->echoTouched, 0);   // the echo window is not even created
        m->EchoOn = True;
        m->TopChan = 3;
        m->RequestAnalog();
        QCOMPARE(views->label1, QByteArray("!0RA\x03", 5));
    }

    void sendingOnAClosedPortSendsNothing()
    {
        comm->setExistingPorts({2});
        m->InitSerialLink();
        m->RequestDigital();
        QVERIFY(comm->written().isEmpty());
        QCOMPARE(m->RxMode, kRxDigital);
    }

    void analogOutputValuePath_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("channel");
        QTest::addColumn<QString>("normalised");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("millivolts");
        QTest::newRow("empty") << "" << 0 << "0000" << QByteArray("!0SV\x00\x00", 6) << 0 << 0 << 0;
        QTest::newRow("7") << "7" << 0 << "0007" << QByteArray("!0SV\x00\x00", 6) << 0 << 0 << 7;
        QTest::newRow("1000 on 3") << "1000" << 3 << "1000" << QByteArray("!0SV\xC8\x40", 6) << 0 << 68 << 1000;
        QTest::newRow("3750") << "3750" << 0 << "3750" << QByteArray("!0SV\x1F\x70", 6) << 0 << 255 << 3750;
        QTest::newRow("3751") << "3751" << 1 << "3751" << QByteArray("!0SV\x6F\x70", 6) << 1 << 127 << 3751;
        QTest::newRow("9999") << "9999" << 0 << "4300" << QByteArray("!0SV\x32\x20", 6) << 1 << 146 << 4300;
    }
    void analogOutputValuePath()
    {
        QFETCH(QString, typed);
        QFETCH(int, channel);
        QFETCH(QString, normalised);
        QFETCH(QByteArray, bytes);
        QFETCH(int, range);
        QFETCH(int, code);
        QFETCH(int, millivolts);
        openOn(2);
        m->ValStr = typed;
        m->DacChan = channel;
        m->NormalizeDacText();
        QCOMPARE(m->ValStr, normalised);
        m->SetAnalogOutput();
        QCOMPARE(comm->written(), bytes);
        QCOMPARE(int(m->DacData[channel][0]), range);
        QCOMPARE(int(m->DacData[channel][1]), code);
        QCOMPARE(int(m->DacData[channel][2]), millivolts);
        for (int other = 0; other < 4; ++other) {
            if (other != channel)
                QCOMPARE(int(m->DacData[other][2]), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestModule1)
#include "tst_module1.moc"
