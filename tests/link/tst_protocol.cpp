// Byte codes of the command protocol, against the module's worked values.

#include "link/Protocol.h"

#include <QTest>

using namespace protocol;

class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void readAnalogCommand_data()
    {
        QTest::addColumn<int>("topChan");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("replyLength");
        QTest::newRow("channel 0") << 0 << QByteArray("!0RA\x00", 5) << 2;
        QTest::newRow("channel 3") << 3 << QByteArray("!0RA\x03", 5) << 8;
        QTest::newRow("channel 6") << 6 << QByteArray("!0RA\x06", 5) << 14;
    }
    void readAnalogCommand()
    {
        QFETCH(int, topChan);
        QFETCH(QByteArray, bytes);
        QFETCH(int, replyLength);
        QCOMPARE(protocol::readAnalogCommand(topChan), bytes);
        QCOMPARE(analogReplyLength(topChan), replyLength);
    }

    void fixedCommands()
    {
        QCOMPARE(readDigitalCommand(), QByteArray("!0RD"));
        QCOMPARE(setOutputsCommand(0x08), QByteArray("!0SO\x08", 5));
        QCOMPARE(setOutputsCommand(0x00), QByteArray("!0SO\x00", 5));
        QCOMPARE(setAnalogCommand(0x32, 0x20), QByteArray("!0SV\x32\x20", 6));
        QCOMPARE(setAnalogCommand(0x00, 0x00), QByteArray("!0SV\x00\x00", 6));
    }

    void counts_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("second");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("millivolts");
        QTest::newRow("full scale") << 0x0F << 0xFF << 4095 << 5000;
        QTest::newRow("half scale") << 0x08 << 0x00 << 2048 << 2500;
        QTest::newRow("one count") << 0x00 << 0x01 << 1 << 1;
        QTest::newRow("zero") << 0x00 << 0x00 << 0 << 0;
        QTest::newRow("top bits dropped") << 0xF3 << 0x21 << 801 << 978;
        QTest::newRow("all bits set") << 0xFF << 0xFF << 4095 << 5000;
    }
    void counts()
    {
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(int, count);
        QFETCH(int, millivolts);
        QCOMPARE(adCount(static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(second)), count);
        QCOMPARE(countToMillivolts(count), millivolts);
    }

    void millivoltsStayInRange()
    {
        for (int count = 0; count <= kMaxCount; ++count) {
            const int mv = countToMillivolts(count);
            QVERIFY(mv >= 0 && mv <= 5000);
            QVERIFY(count == 0 || mv >= countToMillivolts(count - 1));
        }
    }

    void digitalLines()
    {
        // 0x28: lines 3 and 5 high, line 4 low; other bits have no effect.
        QCOMPARE(digitalLine(0x28, 3), 1);
        QCOMPARE(digitalLine(0x28, 4), 0);
        QCOMPARE(digitalLine(0x28, 5), 1);
        QCOMPARE(digitalLine(0xC7, 3), 0);
        QCOMPARE(digitalLine(0xC7, 4), 0);
        QCOMPARE(digitalLine(0xC7, 5), 0);
        QCOMPARE(digitalLine(0xFF, 4), 1);
    }

    void dacWords_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("millivolts");
        QTest::addColumn<int>("range");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("low");
        QTest::newRow("0 mV") << 0 << 0 << 0 << 0 << 0 << 0x00 << 0x00;
        QTest::newRow("1000 mV") << 0 << 1000 << 0 << 68 << 1000 << 0x08 << 0x40;
        QTest::newRow("2500 mV") << 0 << 2500 << 0 << 170 << 2500 << 0x15 << 0x20;
        QTest::newRow("3750 mV, top of range 0") << 0 << 3750 << 0 << 255 << 3750 << 0x1F << 0x70;
        QTest::newRow("3751 mV, range 1") << 0 << 3751 << 1 << 127 << 3751 << 0x2F << 0x70;
        QTest::newRow("4000 mV") << 0 << 4000 << 1 << 136 << 4000 << 0x31 << 0x00;
        QTest::newRow("4300 mV") << 0 << 4300 << 1 << 146 << 4300 << 0x32 << 0x20;
        QTest::newRow("above 4300 clamps") << 0 << 5000 << 1 << 146 << 4300 << 0x32 << 0x20;
        QTest::newRow("negative clamps to 0") << 0 << -5 << 0 << 0 << 0 << 0x00 << 0x00;
        QTest::newRow("channel 3, 0 mV") << 3 << 0 << 0 << 0 << 0 << 0xC0 << 0x00;
        QTest::newRow("channel 3, 1000 mV") << 3 << 1000 << 0 << 68 << 1000 << 0xC8 << 0x40;
        QTest::newRow("channel 3, 4300 mV") << 3 << 4300 << 1 << 146 << 4300 << 0xF2 << 0x20;
        QTest::newRow("channel 1, 2500 mV") << 1 << 2500 << 0 << 170 << 2500 << 0x55 << 0x20;
        QTest::newRow("channel 2, 3751 mV") << 2 << 3751 << 1 << 127 << 3751 << 0xAF << 0x70;
    }
    void dacWords()
    {
        QFETCH(int, channel);
        QFETCH(int, millivolts);
        QFETCH(int, range);
        QFETCH(int, code);
        QFETCH(int, sent);
        QFETCH(int, high);
        QFETCH(int, low);
        const DacCode c = dacCode(millivolts);
        QCOMPARE(c.range, range);
        QCOMPARE(c.code, code);
        QCOMPARE(c.millivolts, sent);
        const DacWord w = dacWord(channel, c);
        QCOMPARE(int(w.high), high);
        QCOMPARE(int(w.low), low);
    }

    void dacCodesCoverTheirRanges()
    {
        for (int mv = 0; mv <= kDacMaxMillivolts; ++mv) {
            const DacCode c = dacCode(mv);
            QVERIFY(c.code >= 0 && c.code <= 255);
            if (c.range == 1)
                QVERIFY(c.code >= 127 && c.code <= 146);
            const DacWord w = dacWord(0, c);
            QCOMPARE(w.low & 0x8F, 0);   // only bits 6..4 of L carry the code
            QCOMPARE(((w.high & 0x1F) << 3) | (w.low >> 4), c.code);
        }
    }

    void dacText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("digits");
        QTest::newRow("empty") << QString() << 0 << "0000";
        QTest::newRow("7") << "7" << 7 << "0007";
        QTest::newRow("45") << "45" << 45 << "0045";
        QTest::newRow("leading blank") << " 500" << 500 << "0500";
        QTest::newRow("4300") << "4300" << 4300 << "4300";
        QTest::newRow("9999 clamps") << "9999" << 4300 << "4300";
        QTest::newRow("5000 clamps") << "5000" << 4300 << "4300";
        QTest::newRow("letters") << "abc" << 0 << "0000";
        QTest::newRow("minus") << "-12" << 0 << "0000";
        QTest::newRow("digits then junk") << "12x4" << 12 << "0012";
        QTest::newRow("huge pasted number") << "99999999999999999999" << 4300 << "4300";
    }
    void dacText()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QFETCH(QString, digits);
        QCOMPARE(parseDacText(text), value);
        QCOMPARE(fourDigits(parseDacText(text)), digits);
    }
};

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
