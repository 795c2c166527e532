#include "ctl/Sampler.h"

#include "front/ModuleLink.h"

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

Sampler::Sampler(front::ModuleLink& link, const Options& options, std::FILE* out, std::FILE* progress, QObject* parent)
    : QObject(parent)
    , m_options(options)
    , m_out(out)
    , m_progress(progress)
    , m_format(options.format, options.topChannel, options.digital, options.setup ? &*options.setup : nullptr)
    , m_acquisition(link.module())
{
    m_acquisition.setSettings(acquisitionSettings(options));

    connect(&m_acquisition, &acquisition::Acquisition::scanned, this, &Sampler::onScan);
    connect(&m_acquisition, &acquisition::Acquisition::ended, this, [this](acquisition::Acquisition::End why) {
        if (why != acquisition::Acquisition::End::Stopped)
            finish(ExitStatus::Ok);
    });
    connect(&m_acquisition, &acquisition::Acquisition::portLost, this, &Sampler::onLost);
    connect(&m_acquisition, &acquisition::Acquisition::portReturned, this, [this] {
        if (m_progress)
            showProgress(false);
    });

    if (m_progress) {
        m_progressOnTerminal = onTerminal(m_progress);
        m_progressTick.setInterval(m_progressOnTerminal ? kTerminalProgressMs : kLogProgressMs);
        connect(&m_progressTick, &QTimer::timeout, this, [this] { showProgress(false); });
    }
}

ExitStatus Sampler::run()
{
    const QByteArray header = m_format.header();
    if (!header.isEmpty() && !writeOut(header.constData(), static_cast<std::size_t>(header.size())))
        return m_status;

    m_clock.start();
    if (m_progress)
        m_progressTick.start();
    m_acquisition.start();
    // The first row at once, not after the first pause (ten seconds, say).
    m_acquisition.pauseEnded();
    if (!m_finished)
        m_loop.exec();
    if (m_progress)
        showProgress(true);

    if (m_status == ExitStatus::Ok && m_rows == 0 && m_acquisition.missedReplies() > 0) {
        m_status = ExitStatus::NoReply;
        m_message = QStringLiteral("no reply from the module: %1 request(s) went unanswered")
                        .arg(m_acquisition.missedReplies());
    }
    return m_status;
}

void Sampler::stop()
{
    finish(ExitStatus::Ok);
}

void Sampler::onScan(const acquisition::Scan& scan)
{
    const std::string_view row = m_format.row(scan);
    if (writeOut(row.data(), row.size()))
        ++m_rows;
}

void Sampler::onLost()
{
    if (m_options.exitOnLoss) {
        finish(ExitStatus::Port, QStringLiteral("the port was lost while sampling"));
        return;
    }
    // The run waits for the device to come back; the rows' time column shows the gap.
    if (m_progress)
        showProgress(false);
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
    m_acquisition.stop();
    m_progressTick.stop();
    m_loop.quit();
}

void Sampler::showProgress(bool last)
{
    const double seconds = static_cast<double>(m_clock.nsecsElapsed()) / 1e9;
    const double rate = seconds > 0 ? static_cast<double>(m_rows) / seconds : 0.0;
    QString text = QStringLiteral("%1 rows, %2 rows/s, %3 missed")
                       .arg(m_rows)
                       .arg(rate, 0, 'f', 1)
                       .arg(m_acquisition.missedReplies());
    if (m_progressNote)
        text += QLatin1String(", ") + m_progressNote();
    if (m_acquisition.waitingForPort())
        text += QLatin1String(", the port is lost: waiting for it to return");
    const QByteArray line = text.toLocal8Bit();
    if (m_progressOnTerminal)
        std::fprintf(m_progress, "\r%s\033[K%s", line.constData(), last ? "\n" : "");
    else
        std::fprintf(m_progress, "%s\n", line.constData());
    std::fflush(m_progress);
}

} // namespace zoltctl
