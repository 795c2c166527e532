// The line settings string and the device behind each COM number.

#include "link/BaudOptions.h"
#include "link/LineSettings.h"
#include "link/PortNames.h"

#include <QTest>

class TestLineSettings : public QObject {
    Q_OBJECT

private slots:
    void parsesAndReadsBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("baud");
        QTest::addColumn<char>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<QString>("canonical");

        QTest::newRow("default") << kDefaultBaud.settings << 9600 << 'N' << 8 << 1 << kDefaultBaud.settings;
        QTest::newRow("2400") << "2400,N,8,1" << 2400 << 'N' << 8 << 1 << "2400,N,8,1";
        QTest::newRow("4800") << "4800,N,8,1" << 4800 << 'N' << 8 << 1 << "4800,N,8,1";
        QTest::newRow("blanks and lower case") << " 4800 , e , 7 , 2 " << 4800 << 'E' << 7 << 2 << "4800,E,7,2";
        QTest::newRow("odd, 5 bits") << "110,O,5,1" << 110 << 'O' << 5 << 1 << "110,O,5,1";
        QTest::newRow("mark") << "19200,m,6,2" << 19200 << 'M' << 6 << 2 << "19200,M,6,2";
        QTest::newRow("space") << "115200,S,8,1" << 115200 << 'S' << 8 << 1 << "115200,S,8,1";
    }

    void parsesAndReadsBack()
    {
        QFETCH(QString, text);
        const auto parsed = LineSettings::parse(text);
        QVERIFY(parsed);
        QTEST(parsed->baud, "baud");
        QTEST(parsed->parity, "parity");
        QTEST(parsed->dataBits, "dataBits");
        QTEST(parsed->stopBits, "stopBits");
        QTEST(parsed->toString(), "canonical");
        // The string read back is the baud rate first: its first four characters
        // tell 2400, 4800 and 9600 apart.
        QCOMPARE(LineSettings::parse(parsed->toString()), parsed);
    }

    void refusesMalformed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << "";
        QTest::newRow("baud only") << "9600";
        QTest::newRow("three fields") << "9600,N,8";
        QTest::newRow("five fields") << "2400,N,8,1,1";
        QTest::newRow("words") << "fast,N,8,1";
        QTest::newRow("zero baud") << "0,N,8,1";
        QTest::newRow("negative baud") << "-2400,N,8,1";
        QTest::newRow("absurd baud") << "99999999,N,8,1";
        QTest::newRow("hex baud") << "0x2580,N,8,1";
        QTest::newRow("unknown parity") << "9600,X,8,1";
        QTest::newRow("two parity letters") << "9600,NE,8,1";
        QTest::newRow("no parity letter") << "9600,,8,1";
        QTest::newRow("4 data bits") << "9600,N,4,1";
        QTest::newRow("9 data bits") << "9600,N,9,1";
        QTest::newRow("no stop bits") << "9600,N,8,0";
        QTest::newRow("3 stop bits") << "9600,N,8,3";
        QTest::newRow("semicolons") << "9600;N;8;1";
    }

    void refusesMalformed()
    {
        QFETCH(QString, text);
        QVERIFY(!LineSettings::parse(text));
    }

    void comPortDevices_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("device");
#ifdef Q_OS_WIN
        QTest::newRow("COM1") << 1 << "COM1";
        QTest::newRow("COM9") << 9 << "COM9";
        QTest::newRow("COM16") << 16 << "COM16";
#else
        QTest::newRow("COM1") << 1 << "/dev/ttyS0";
        QTest::newRow("COM2") << 2 << "/dev/ttyS1";
        QTest::newRow("COM8") << 8 << "/dev/ttyS7";
        QTest::newRow("COM9") << 9 << "/dev/ttyUSB0";
        QTest::newRow("COM10") << 10 << "/dev/ttyUSB1";
        QTest::newRow("COM16") << 16 << "/dev/ttyUSB7";
#endif
        QTest::newRow("0") << 0 << "";
        QTest::newRow("17") << 17 << "";
        QTest::newRow("-1") << -1 << "";
    }

    void comPortDevices()
    {
        QFETCH(int, port);
        QTEST(deviceForComPort(port), "device");
    }
};

QTEST_GUILESS_MAIN(TestLineSettings)
#include "tst_linesettings.moc"
