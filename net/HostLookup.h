#pragma once

// A host name looked up without holding the event loop: glibc's
// getaddrinfo_a (on Windows, GetAddrInfoExW with an OVERLAPPED) asks in a
// thread of its own, and a timer on the loop looks for the answer. Nothing
// waits for a lookup that never ends: not the loop, and not the program's
// exit (the resolver's threads end with the process), which Qt's own lookup
// would hold until the resolver gave up.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

namespace mqtt {

class HostLookup : public QObject {
    Q_OBJECT

public:
    explicit HostLookup(QObject* parent = nullptr);
    // A lookup under way is given up.
    ~HostLookup() override;

    // finished() follows, from the event loop; a lookup under way is given
    // up first. A numeric address is its own answer.
    void start(const QByteArray& host);
    void abandon();
    bool running() const { return m_request != nullptr; }

    // The addresses as text, in the resolver's order.
    struct Answer {
        QList<QByteArray> addresses;
        bool unknown = false;   // the name does not exist
        QString error;          // empty with addresses
    };

    // What the resolver works on (opaque).
    struct Request;

signals:
    void finished(const mqtt::HostLookup::Answer& answer);

private:
    void check();

    std::unique_ptr<Request> m_request;
    QTimer m_poll;
};

} // namespace mqtt
