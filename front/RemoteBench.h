#pragma once

// A bench seen through the broker, as another program watches it: its scans
// from PREFIX/scan, what it is from PREFIX/meta, its PREFIX/status, and the
// answers to commands sent to it (PREFIX/ack, PREFIX/error). Commands go to
// PREFIX/set/dac/N and PREFIX/set/dout; the bench's meta says whether it
// takes them.

#include "front/BenchPublisher.h"
#include "link/Scan.h"
#include "net/MqttClient.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

namespace front {

// One PREFIX/scan payload back into a scan; empty when it is not one.
std::optional<acquisition::Scan> scanFromJson(const QByteArray& json);
// PREFIX/meta back into what it describes; empty when it is not that.
std::optional<BenchMeta> metaFromJson(const QByteArray& json);

class RemoteBench : public QObject {
    Q_OBJECT

public:
    RemoteBench(mqtt::Client& client, const QString& prefix, QObject* parent = nullptr);

    const QString& status() const { return m_status; }
    const std::optional<BenchMeta>& meta() const { return m_meta; }
    bool takesCommands() const { return m_meta && m_meta->control; }
    long long badScans() const { return m_badScans; }

    // Sent whatever the meta says; the bench answers on ack or error.
    void setAnalogOutput(int channel, int millivolts);
    void setDigitalOutput(bool high);

signals:
    void scanned(const acquisition::Scan& scan);
    void statusChanged(const QString& status);
    void metaChanged();
    void acknowledged(const QString& what);   // "set/dac/2 1500"
    void refused(const QString& why);

private:
    void onMessage(const QByteArray& topic, const QByteArray& payload);

    mqtt::Client& m_client;
    QByteArray m_prefix;
    QString m_status;
    std::optional<BenchMeta> m_meta;
    long long m_badScans = 0;
};

} // namespace front
