// The smallest Qt program that samples the module the way ZOLTrc does at
// "Max Speed", without windows: read channels 0 to TOP (and the digital
// lines), pause 1 ms, repeat until stopped.
//
//   zolt_poller DEVICE BAUD TOP [digital]

#include "link/Protocol.h"

#include <QCoreApplication>
#include <QSerialPort>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: zolt_poller DEVICE BAUD TOP [digital]\n");
        return 2;
    }
    const int top = args[3].toInt();
    const bool digital = args.size() > 4 && args[4] == QLatin1String("digital");
    const QByteArray analog = protocol::readAnalogCommand(top);
    const QByteArray digitalRead = protocol::readDigitalCommand();
    const qsizetype analogBytes = protocol::kBytesPerReading * (top + 1);

    QSerialPort port(args[1]);
    port.setBaudRate(args[2].toInt());
    if (!port.open(QIODevice::ReadWrite)) {
        std::fprintf(stderr, "zolt_poller: %s\n", qPrintable(port.errorString()));
        return 1;
    }

    QTimer pause;
    pause.setSingleShot(true);
    pause.setTimerType(Qt::PreciseTimer);
    pause.setInterval(1);
    bool awaitingDigital = false;
    QObject::connect(&pause, &QTimer::timeout, &port, [&] {
        awaitingDigital = false;
        port.write(analog);
    });
    QObject::connect(&port, &QSerialPort::readyRead, &port, [&] {
        const qsizetype wanted = awaitingDigital ? protocol::kDigitalReplyBytes : analogBytes;
        if (port.bytesAvailable() < wanted)
            return;
        port.read(wanted);
        if (digital && !awaitingDigital) {
            awaitingDigital = true;
            port.write(digitalRead);
            return;
        }
        pause.start();
    });
    port.write(analog);
    return app.exec();
}
