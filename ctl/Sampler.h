#pragma once

// Continuous sampling, the cycle of ZOLTrc's main window without the window:
// one analog scan, then one digital read if asked for, then the pause, then
// the next cycle. Each complete cycle is one row, written and flushed at once.
// A reply that never comes costs its row and the cycle goes on.

#include "ctl/CtlOptions.h"
#include "ctl/ExitStatus.h"
#include "ctl/RowFormat.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdio>

namespace zoltctl {

class CtlLink;

class Sampler : public QObject {
    Q_OBJECT

public:
    // out receives the rows; progress, when not null, a progress line.
    Sampler(CtlLink& link, const Options& options, std::FILE* out, std::FILE* progress, QObject* parent = nullptr);

    // Runs until --count, --duration, stop() or a failure; returns the status
    // and leaves a message (empty when all went well) in message().
    ExitStatus run();
    // Ends the run after the row in hand; from a signal, say.
    void stop();

    const QString& message() const { return m_message; }
    long long rows() const { return m_rows; }

private:
    enum class Stage { Pause, Analog, Digital };

    void startCycle();
    void onReplied();
    void onMissed();
    void onLost();
    void writeRow();
    bool writeOut(const char* data, std::size_t size);
    void finish(ExitStatus status, const QString& message = {});
    void showProgress(bool last);

    CtlLink& m_link;
    const Options m_options;
    std::FILE* m_out;
    std::FILE* m_progress;
    RowFormat m_format;
    Reading m_reading;
    Stage m_stage = Stage::Pause;
    QTimer m_pause;
    QTimer m_duration;
    QTimer m_progressTick;
    QElapsedTimer m_clock;
    QEventLoop m_loop;
    long long m_rows = 0;
    bool m_progressOnTerminal = false;
    bool m_finished = false;
    ExitStatus m_status = ExitStatus::Ok;
    QString m_message;
};

} // namespace zoltctl
