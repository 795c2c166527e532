#pragma once

// Ctrl-C and SIGTERM turned into an ordinary event: the handler only notes
// the signal, and stopRequested() is emitted from the event loop, so a row
// being written is always finished first. While an instance lives it owns
// both signals; the previous handling comes back when it is destroyed.

#include <QObject>

class QSocketNotifier;

namespace zoltctl {

class StopSignals : public QObject {
    Q_OBJECT

public:
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

    bool installed() const { return m_installed; }

signals:
    void stopRequested();

private:
    void onNotified();

    QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
};

} // namespace zoltctl
