// The main window driven through its real controls on the scripted serial
// control: start-up, reply decoding, on-demand reads and the digital controls.

#include "tests/app/ProgramRig.h"

#include "ui/DispForm.h"
#include "ui/SerialMenu.h"

#include <QLabel>

class TestForm1 : public QObject {
    Q_OBJECT

private slots:
    // ------------------------------------------------------------ start-up

    void startUpSendsNothingAndWaits()
    {
        ProgramRig rig;
        rig.program->start();
        rig.settle();
        QVERIFY(rig.comm->written().isEmpty());
        QVERIFY(rig.comm->PortOpen());
        QCOMPARE(rig.comm->CommPort(), 2);
        QCOMPARE(rig.form().Timer1().interval(), 500);
        QVERIFY(!rig.form().Timer1().isActive());
        QCOMPARE(rig.button("Command7")->text(), QStringLiteral("D-On"));
        QCOMPARE(rig.m().DinMode, 0);
        QVERIFY(rig.form().isVisible());
        QCOMPARE(rig.lamp("Lite1")->colour(), kColGreen);
        QCOMPARE(rig.lamp("Lite3")->colour(), kColGreen);
        QCOMPARE(rig.form().windowTitle(), QStringLiteral("ZOLT Control Freeware"));
    }

    void exitHoldsTheFocus_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Space") << int(Qt::Key_Space);
    }
    void exitHoldsTheFocus()
    {
        QFETCH(int, key);
        ProgramRig rig;
        rig.start();
        rig.form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&rig.form()));
        QCOMPARE(QApplication::focusWidget(), rig.button("Command4"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QTRY_COMPARE(rig.ended, 1);
        QVERIFY(!rig.comm->PortOpen());
        QVERIFY(rig.comm->written().isEmpty());
    }

    void lineLampsFollowTheLinesTheirRowsName()
    {
        // Lite3 stands in the "CTS" row and shows CTS, Lite1 in the "DSR" row DSR.
        ProgramRig rig;
        rig.start();
        rig.comm->setLines(false, true);
        rig.settle();
        QCOMPARE(rig.lamp("Lite1")->colour(), kColGreen);
        QCOMPARE(rig.lamp("Lite3")->colour(), kColBlack);
        rig.comm->setLines(true, false);
        rig.settle();
        QCOMPARE(rig.lamp("Lite1")->colour(), kColBlack);
        QCOMPARE(rig.lamp("Lite3")->colour(), kColGreen);
        rig.comm->unplug();
        rig.settle();
        QCOMPARE(rig.lamp("Lite1")->colour(), kColBlack);
        QCOMPARE(rig.lamp("Lite3")->colour(), kColBlack);
    }

    void noPortEndsFromTheDialog()
    {
        ProgramRig rig(QSet<int>{});
        QTimer::singleShot(0, [&] {
            QWidget* dialog = rig.program->serialMenu().isVisible() ? &rig.program->serialMenu() : nullptr;
            QVERIFY(dialog);
            QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Command1")), Qt::LeftButton);
        });
        rig.program->start();
        QCOMPARE(rig.ended, 1);
        QVERIFY(rig.comm->openedPorts().isEmpty());
        QVERIFY(rig.comm->written().isEmpty());
    }

    // ------------------------------------------------------------ decoding

    void replySplitOverEvents()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("ADCmdbut(2)"));
        QCOMPARE(rig.comm->written(), QByteArray("!0RA\x02", 5));
        rig.reply(QByteArray("\x00\x01", 2));
        QCOMPARE(rig.m().RxChan, 1);
        rig.reply(QByteArray("\x00\x02\x00", 3));
        QCOMPARE(rig.m().RxChan, 0);
        QVERIFY(rig.text("ADValTxt(2)").isEmpty());   // shown only when the scan is complete
        rig.reply(QByteArray("\x03", 1));
        QCOMPARE(rig.m().RxMode, kRxIdle);
        QCOMPARE(rig.m().RxChan, -1);
        QCOMPARE(rig.text("ADValTxt(2)"), QStringLiteral(" 1"));
        QCOMPARE(rig.text("ADValTxt(1)"), QStringLiteral(" 2"));
        QCOMPARE(rig.text("ADValTxt(0)"), QStringLiteral(" 3"));
        QCOMPARE(rig.text("VolValTxt(0)"), QStringLiteral(" 4"));
        QVERIFY(rig.text("ADValTxt(3)").isEmpty());
    }

    void readingsShown_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("count");
        QTest::addColumn<QString>("millivolts");
        QTest::newRow("full scale") << QByteArray("\x0F\xFF", 2) << " 4095" << " 5000";
        QTest::newRow("half scale") << QByteArray("\x08\x00", 2) << " 2048" << " 2500";
        QTest::newRow("one count") << QByteArray("\x00\x01", 2) << " 1" << " 1";
        QTest::newRow("zero") << QByteArray("\x00\x00", 2) << " 0" << " 0";
        QTest::newRow("high bits masked") << QByteArray("\xF3\x21", 2) << " 801" << " 978";
    }
    void readingsShown()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, count);
        QFETCH(QString, millivolts);
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("ADCmdbut(0)"));
        rig.reply(bytes);
        QCOMPARE(rig.text("ADValTxt(0)"), count);
        QCOMPARE(rig.text("VolValTxt(0)"), millivolts);
        QCOMPARE(rig.lamp("LiteXfer")->colour(), kColBlack);
    }

    void sevenChannelsInOrder()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("ADCmdbut(6)"));
        QByteArray reply;
        for (int k = 0; k < 7; ++k)   // channel 6 first
            reply += QByteArray::fromHex(QByteArray::number(0x100 * (6 - k) + 10, 16).rightJustified(4, '0'));
        rig.reply(reply);
        for (int ch = 0; ch <= 6; ++ch)
            QCOMPARE(rig.text(indexedName("ADValTxt", ch)), QStringLiteral(" %1").arg(256 * ch + 10));
    }

    void digitalReplyPaintsTheLines()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command13"));
        rig.comm->clearWritten();
        rig.reply(QByteArray("\xE8", 1));   // 0x28 plus bits that have no effect
        QCOMPARE(rig.text("DinTxt(3)"), QStringLiteral("1"));
        QCOMPARE(rig.text("DinTxt(4)"), QStringLiteral("0"));
        QCOMPARE(rig.text("DinTxt(5)"), QStringLiteral("1"));
        QCOMPARE(rig.lamp("DLite(3)")->colour(), kColGreen);
        QCOMPARE(rig.lamp("DLite(4)")->colour(), kColBlack);
        QCOMPARE(rig.lamp("DLite(5)")->colour(), kColGreen);
        for (int n : {0, 1, 2, 6, 7})
            QCOMPARE(rig.m().DigData[n][0], 0);
    }

    void idleReceiveLeavesBytesWaiting()
    {
        ProgramRig rig;
        rig.start();
        rig.reply(QByteArray("\x01\x02\x03", 3));
        QCOMPARE(rig.comm->InBufferCount(), 3);
        QCOMPARE(rig.lamp("LiteXfer")->colour(), kColGreen);   // two or more waiting
        // The next request drops them before its command goes out, so they
        // cannot shift its reply.
        rig.click(QStringLiteral("ADCmdbut(0)"));
        QCOMPARE(rig.comm->InBufferCount(), 0);
        QCOMPARE(rig.m().StrayBytes, 3LL);
        QCOMPARE(rig.comm->written(), QByteArray("!0RA\x00", 5));
        rig.reply(QByteArray("\x00\x05", 2));
        QCOMPARE(rig.text("ADValTxt(0)"), QStringLiteral(" 5"));
        QCOMPARE(rig.comm->InBufferCount(), 0);
        QCOMPARE(rig.lamp("LiteXfer")->colour(), kColBlack);
    }

    void echoShowsThePendingChannel()
    {
        ProgramRig rig;
        rig.start();
        rig.choose(QStringLiteral("SelDisp"));
        auto* label1 = rig.program->dispForm().findChild<QLabel*>(QStringLiteral("Label1"));
        auto* label2 = rig.program->dispForm().findChild<QLabel*>(QStringLiteral("Label2"));
        rig.click(QStringLiteral("ADCmdbut(3)"));
        QVERIFY(label1->text().startsWith(QStringLiteral("!0RA")));
        rig.reply(QByteArray("\x00\x01\x00\x02\x00", 5));
        QCOMPARE(label2->text(), QStringLiteral(" 1"));
        rig.reply(QByteArray("\x03\x00\x04", 3));
        QCOMPARE(label2->text(), QStringLiteral("-1"));
        rig.click(QStringLiteral("Command13"));
        rig.reply(QByteArray("\x08", 1));
        QCOMPARE(label2->text(), QStringLiteral("-1"));   // digital replies leave it
        QCOMPARE(label1->text(), QStringLiteral("!0RD"));
    }

    // ------------------------------------------------------------ on-demand reads

    void channelButtonsChooseAndRead()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("ADCmdbut(6)"));
        rig.click(QStringLiteral("ADCmdbut(2)"));
        for (int i = 0; i <= 6; ++i)
            QCOMPARE(rig.lamp(indexedName("ChLite", i))->colour(), i <= 2 ? kColGreen : kColBlack);
        QCOMPARE(rig.comm->writes().last(), QByteArray("!0RA\x02", 5));
        QCOMPARE(rig.m().TopChan, 2);
    }

    void adInReadsTheChosenChannels()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command3"));
        QCOMPARE(rig.comm->written(), QByteArray("!0RA\x00", 5));
        QCOMPARE(rig.lamp("ChLite(0)")->colour(), kColGreen);
        QVERIFY(!rig.lamp("ChLite(1)")->painted());
        QCOMPARE(rig.lamp("SamLite(1)")->colour(), kColBlack);   // green only while held

        QTest::mousePress(rig.button("Command3"), Qt::LeftButton);
        QCOMPARE(rig.lamp("SamLite(1)")->colour(), kColGreen);
        QTest::mouseRelease(rig.button("Command3"), Qt::LeftButton);
        QCOMPARE(rig.lamp("SamLite(1)")->colour(), kColBlack);
    }

    void requestWhileAReplyIsOutstanding()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("ADCmdbut(3)"));
        rig.reply(QByteArray("\x00\x07", 2));
        rig.click(QStringLiteral("ADCmdbut(0)"));   // re-arms for the new request
        rig.reply(QByteArray("\x00\x09", 2));
        QCOMPARE(rig.text("ADValTxt(0)"), QStringLiteral(" 9"));
        QCOMPARE(rig.m().RxMode, kRxIdle);
    }

    // ------------------------------------------------------------ digital controls

    void onOffFollowsTheModule()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command1"));
        QCOMPARE(rig.comm->writes(), (QList<QByteArray>{QByteArray("!0SO\x08", 5), "!0RD"}));
        rig.reply(QByteArray("\x00", 1));   // the module reports line 3 low
        rig.comm->clearWritten();
        rig.click(QStringLiteral("Command1"));
        QCOMPARE(rig.comm->writes().first(), QByteArray("!0SO\x08", 5));
        rig.reply(QByteArray("\x08", 1));   // now high
        rig.comm->clearWritten();
        rig.click(QStringLiteral("Command1"));
        QCOMPARE(rig.comm->writes().first(), QByteArray("!0SO\x00", 5));
    }

    void setHighAndLow_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QByteArray>("command");
        QTest::newRow("Set High") << "Dighi" << QByteArray("!0SO\x08", 5);
        QTest::newRow("Set Low") << "DigLo" << QByteArray("!0SO\x00", 5);
    }
    void setHighAndLow()
    {
        QFETCH(QString, item);
        QFETCH(QByteArray, command);
        for (const char* lineState : {"\x00", "\x08"}) {
            ProgramRig rig;
            rig.start();
            rig.click(QStringLiteral("Command13"));
            rig.reply(QByteArray(lineState, 1));
            rig.comm->clearWritten();
            rig.choose(item);
            QCOMPARE(rig.comm->writes(), (QList<QByteArray>{command, "!0RD"}));
            QCOMPARE(rig.m().DigData[3][0], lineState[0] ? 1 : 0);   // not written by the item itself
        }
    }

    void digitalReadByMouseAndKeyboard()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command7"));   // D-Off showing: the lamp is red
        QTest::mousePress(rig.button("Command13"), Qt::LeftButton);
        QCOMPARE(rig.lamp("SamLite(0)")->colour(), kColGreen);
        QTest::mouseRelease(rig.button("Command13"), Qt::LeftButton);
        QCOMPARE(rig.lamp("SamLite(0)")->colour(), kColBlack);
        QCOMPARE(rig.comm->writes(), (QList<QByteArray>{"!0RD", "!0RD"}));

        rig.comm->clearWritten();
        QTest::mousePress(rig.button("Command13"), Qt::RightButton);
        QTest::mouseRelease(rig.button("Command13"), Qt::RightButton);
        QCOMPARE(rig.comm->writes(), QList<QByteArray>{"!0RD"});

        rig.comm->clearWritten();
        rig.button("Command13")->setFocus();
        QTest::keyClick(rig.button("Command13"), Qt::Key_Space);
        QCOMPARE(rig.comm->writes(), QList<QByteArray>{"!0RD"});
    }

    void digitalReadSwitch()
    {
        ProgramRig rig;
        rig.start();
        rig.click(QStringLiteral("Command7"));
        QCOMPARE(rig.m().DinMode, 1);
        QCOMPARE(rig.button("Command7")->text(), QStringLiteral("D-Off"));
        QCOMPARE(rig.lamp("SamLite(0)")->colour(), kColRed);
        rig.m().DinMode = 2;   // as a stop in the middle of a cycle leaves it
        rig.click(QStringLiteral("Command7"));
        QCOMPARE(rig.m().DinMode, 0);
        QCOMPARE(rig.button("Command7")->text(), QStringLiteral("D-On"));
        QCOMPARE(rig.lamp("SamLite(0)")->colour(), kColBlack);
        QVERIFY(rig.comm->written().isEmpty());
    }
};

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
