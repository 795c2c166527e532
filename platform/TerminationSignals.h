#pragma once

// Termination requests as an ordinary event. While an instance lives it owns
// SIGINT and SIGTERM (on Windows: Ctrl-C, Ctrl-Break and the console being
// closed); the handler only notes the request, and received() is emitted
// later from the event loop, once for each signal, so whatever is being done
// (a row being written, a reply being read) is finished first. When the
// instance goes, the handling there was before it comes back.
//
// A program with windows ends on a request through endApplication(), so that
// an open dialog (a question, a file chooser: each an event loop of its own)
// cannot hold it.
//
// One instance at a time owns the signals: a second one made while the first
// lives leaves them alone and reports installed() false.

#include <QObject>
#include <functional>

class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    bool installed() const { return m_installed; }

    // From now on each request ends the application with status 0: finish()
    // first (a recording closed whole, the choices kept), then every event
    // loop running, a dialog's included, and the application's own one also
    // when the request came before it started.
    void endApplication(std::function<void()> finish = {});

signals:
    // The signal's number (SIGINT or SIGTERM; on Windows the console event
    // is given as SIGINT or, for a closed console, SIGTERM).
    void received(int signalNumber);

private:
    void onWake();

    class QSocketNotifier* m_notifier = nullptr;
    bool m_installed = false;
};
