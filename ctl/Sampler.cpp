#include "ctl/Sampler.h"

#include "ctl/CtlLink.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace zoltctl {

namespace {

// How often the progress line changes: in place on a terminal, as a new
// line in a log.
constexpr int kTerminalProgressMs = 250;
constexpr int kLogProgressMs = 10'000;

bool onTerminal(std::FILE* stream)
{
#ifdef Q_OS_UNIX
    return ::isatty(::fileno(stream)) == 1;
#else
    (void)stream;
    return false;
#endif
}

} // namespace

Sampler::Sampler(CtlLink& link, const Options& options, std::FILE* out, std::FILE* progress, QObject* parent)
    : QObject(parent)
    , m_link(link)
    , m_options(options)
    , m_out(out)
    , m_progress(progress)
    , m_format(options.format, options.topChannel, options.digital)
{
    m_pause.setSingleShot(true);
    m_pause.setTimerType(Qt::PreciseTimer);   // 1 ms at full speed must stay 1 ms
    m_pause.setInterval(options.intervalMs);
    connect(&m_pause, &QTimer::timeout, this, &Sampler::startCycle);

    m_duration.setSingleShot(true);
    m_duration.setTimerType(Qt::PreciseTimer);
    connect(&m_duration, &QTimer::timeout, this, [this] { finish(ExitStatus::Ok); });

    if (m_progress) {
        m_progressOnTerminal = onTerminal(m_progress);
        m_progressTick.setInterval(m_progressOnTerminal ? kTerminalProgressMs : kLogProgressMs);
        connect(&m_progressTick, &QTimer::timeout, this, [this] { showProgress(false); });
    }

    connect(&m_link, &CtlLink::replied, this, &Sampler::onReplied);
    connect(&m_link, &CtlLink::missed, this, &Sampler::onMissed);
    connect(&m_link, &CtlLink::lost, this, &Sampler::onLost);
}

ExitStatus Sampler::run()
{
    const QByteArray header = m_format.header();
    if (!header.isEmpty() && !writeOut(header.constData(), static_cast<std::size_t>(header.size())))
        return m_status;

    m_clock.start();
    if (m_options.durationS > 0)
        m_duration.start(static_cast<int>(std::min(m_options.durationS * 1000.0, 2'000'000'000.0)));
    if (m_progress)
        m_progressTick.start();
    startCycle();
    if (!m_finished)
        m_loop.exec();
    if (m_progress)
        showProgress(true);

    if (m_status == ExitStatus::Ok && m_rows == 0 && m_link.missedReplies() > 0) {
        m_status = ExitStatus::NoReply;
        m_message = QStringLiteral("no reply from the module: %1 request(s) went unanswered")
                        .arg(m_link.missedReplies());
    }
    return m_status;
}

void Sampler::stop()
{
    finish(ExitStatus::Ok);
}

void Sampler::startCycle()
{
    if (m_finished)
        return;
    m_stage = Stage::Analog;
    m_link.requestAnalog(m_options.topChannel);
}

void Sampler::onReplied()
{
    if (m_finished)
        return;
    if (m_stage == Stage::Analog) {
        const Module1& m = m_link.module();
        for (int ch = 0; ch <= m_options.topChannel; ++ch) {
            m_reading.counts[ch] = m.AnaData[ch][1];
            m_reading.millivolts[ch] = m.AnaData[ch][2];
        }
        if (m_options.digital) {
            m_stage = Stage::Digital;
            m_link.requestDigital();
            return;
        }
    } else if (m_stage == Stage::Digital) {
        const Module1& m = m_link.module();
        for (int i = 0; i < kLines; ++i)
            m_reading.lines[i] = m.DigData[kFirstLine + i][0];
    } else {
        return;
    }
    writeRow();
    if (m_finished)
        return;
    if (m_options.count > 0 && m_rows >= m_options.count) {
        finish(ExitStatus::Ok);
        return;
    }
    m_stage = Stage::Pause;
    m_pause.start();
}

void Sampler::onMissed()
{
    if (m_finished)
        return;
    // The row is lost; the next cycle starts after the usual pause.
    m_stage = Stage::Pause;
    m_pause.start();
}

void Sampler::onLost()
{
    finish(ExitStatus::Port, QStringLiteral("the port was lost while sampling"));
}

void Sampler::writeRow()
{
    const std::string_view row = m_format.row(m_reading, std::chrono::system_clock::now(), m_clock.nsecsElapsed() / 1000);
    if (writeOut(row.data(), row.size()))
        ++m_rows;
}

bool Sampler::writeOut(const char* data, std::size_t size)
{
    // The whole row, then flushed: a reader (or a signal) never sees half of one.
    errno = 0;
    if (std::fwrite(data, 1, size, m_out) == size && std::fflush(m_out) == 0)
        return true;
    if (errno == EPIPE) {
        // The reader went away (| head, say): that ends the run, and is no failure.
        finish(ExitStatus::Ok);
    } else {
        const int error = errno;
        finish(ExitStatus::Output, QStringLiteral("cannot write the rows: %1")
                                       .arg(QString::fromLocal8Bit(error ? std::strerror(error) : "write failed")));
    }
    return false;
}

void Sampler::finish(ExitStatus status, const QString& message)
{
    if (m_finished)
        return;
    m_finished = true;
    m_status = status;
    m_message = message;
    m_pause.stop();
    m_duration.stop();
    m_progressTick.stop();
    m_loop.quit();
}

void Sampler::showProgress(bool last)
{
    const double seconds = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
    const double rate = seconds > 0 ? static_cast<double>(m_rows) / seconds : 0.0;
    const QByteArray line = QStringLiteral("%1 rows, %2 rows/s, %3 missed")
                                .arg(m_rows)
                                .arg(rate, 0, 'f', 1)
                                .arg(m_link.missedReplies())
                                .toLocal8Bit();
    if (m_progressOnTerminal)
        std::fprintf(m_progress, "\r%s\033[K%s", line.constData(), last ? "\n" : "");
    else
        std::fprintf(m_progress, "%s\n", line.constData());
    std::fflush(m_progress);
}

} // namespace zoltctl
