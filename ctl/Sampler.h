#pragma once

// zoltctl's sample: the rows of the acquisition cycle's scans, each written
// and flushed at once, and a progress line. The cycle itself (the pause, the
// replies, a missed reply, a lost port and its return, the count and duration
// limits) is the acquisition core's; a lost port ends the run only when
// --exit-on-loss asks for it.

#include "ctl/CtlOptions.h"
#include "ctl/ExitStatus.h"
#include "front/RowFormat.h"
#include "link/Acquisition.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace front {
class ModuleLink;
}

namespace zoltctl {

class Sampler : public QObject {
    Q_OBJECT

public:
    // out receives the rows; progress, when not null, a progress line.
    Sampler(front::ModuleLink& link, const Options& options, std::FILE* out, std::FILE* progress, QObject* parent = nullptr);

    // Runs until --count, --duration, stop() or a failure; returns the status
    // and leaves a message (empty when all went well) in message().
    ExitStatus run();
    // Ends the run after the row in hand; from a signal, say.
    void stop();

    const QString& message() const { return m_message; }
    long long rows() const { return m_rows; }
    // The cycle, for others that take its scans or send outputs through it.
    acquisition::Acquisition& acquisition() { return m_acquisition; }
    // More for the progress line ("12 dropped"), asked each time it is shown.
    void setProgressNote(std::function<QString()> note) { m_progressNote = std::move(note); }

private:
    void onScan(const acquisition::Scan& scan);
    void onLost();
    bool writeOut(const char* data, std::size_t size);
    void finish(ExitStatus status, const QString& message = {});
    void showProgress(bool last);

    const Options m_options;
    std::FILE* m_out;
    std::FILE* m_progress;
    front::RowFormat m_format;
    acquisition::Acquisition m_acquisition;
    QTimer m_progressTick;
    QElapsedTimer m_clock;
    QEventLoop m_loop;
    long long m_rows = 0;
    bool m_progressOnTerminal = false;
    bool m_finished = false;
    ExitStatus m_status = ExitStatus::Ok;
    QString m_message;
    std::function<QString()> m_progressNote;
};

} // namespace zoltctl
