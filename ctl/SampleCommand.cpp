#include "ctl/SampleCommand.h"

#include "ctl/CtlLink.h"
#include "ctl/ReadCommand.h"
#include "ctl/Sampler.h"
#include "platform/TerminationSignals.h"

#include <QCommandLineParser>
#include <QFile>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

namespace zoltctl {

namespace {

const QString kInterval = QStringLiteral("interval");
const QString kCount = QStringLiteral("count");
const QString kDuration = QStringLiteral("duration");
const QString kFormat = QStringLiteral("format");
const QString kOutput = QStringLiteral("output");

} // namespace

SampleCommand::SampleCommand()
    : LinkCommand(QStringLiteral("sample"),
                  QStringLiteral("Continuous sampling to CSV or JSON lines, until --count, --duration, Ctrl-C or "
                                 "SIGTERM."))
{
    for (const QCommandLineOption& o : ChannelChoice::options())
        addOption(o);
    addOption(QCommandLineOption(kInterval,
                                 QStringLiteral("Pause between cycles: max, 0.5s, 1s, 10s or milliseconds "
                                                "(default 0.5s)."),
                                 QStringLiteral("pause")));
    addOption(QCommandLineOption(kCount, QStringLiteral("Stop after N rows."), QStringLiteral("N")));
    addOption(QCommandLineOption(kDuration, QStringLiteral("Stop after this many seconds."), QStringLiteral("seconds")));
    addOption(QCommandLineOption(kFormat, QStringLiteral("Output format (default csv)."), QStringLiteral("csv|jsonl")));
    addOption(QCommandLineOption(kOutput, QStringLiteral("Write rows to this file instead of standard output."),
                                 QStringLiteral("file")));
}

QString SampleCommand::takeOwn(const QCommandLineParser& parser, const QStringList&)
{
    Options& o = m_settings;
    ChannelChoice channels;
    if (QString error = channels.take(parser); !error.isEmpty())
        return error;
    o.topChannel = channels.topChannel;
    o.digital = channels.digital;
    if (parser.isSet(kInterval)) {
        const QString text = parser.value(kInterval);
        const auto pause = parseInterval(text);
        if (!pause) {
            return QStringLiteral("--interval must be max, 0.5s, 1s, 10s or 0 to %1 ms, not '%2'")
                .arg(kLongestPauseMs)
                .arg(text);
        }
        o.intervalMs = *pause;
    }
    if (parser.isSet(kCount)) {
        bool ok = false;
        o.count = parser.value(kCount).toLongLong(&ok);
        if (!ok || o.count < 1)
            return QStringLiteral("--count must be a whole number of at least 1, not '%1'").arg(parser.value(kCount));
    }
    if (parser.isSet(kDuration)) {
        bool ok = false;
        o.durationS = parser.value(kDuration).toDouble(&ok);
        if (!ok || !std::isfinite(o.durationS) || o.durationS <= 0 || o.durationS > 1e9)
            return QStringLiteral("--duration must be a positive number of seconds, not '%1'")
                .arg(parser.value(kDuration));
    }
    if (parser.isSet(kFormat)) {
        const QString format = parser.value(kFormat);
        if (format == QLatin1String("csv"))
            o.format = Format::Csv;
        else if (format == QLatin1String("jsonl"))
            o.format = Format::Jsonl;
        else
            return QStringLiteral("--format must be csv or jsonl, not '%1'").arg(format);
    }
    if (parser.isSet(kOutput)) {
        o.output = parser.value(kOutput);
        if (o.output.isEmpty())
            return QStringLiteral("--output needs a file name");
    }
    return {};
}

ExitStatus SampleCommand::run(CtlLink& link)
{
    const Options& options = m_settings;
    std::FILE* out = stdout;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(nullptr, &std::fclose);
    if (!options.output.isEmpty()) {
        file.reset(std::fopen(QFile::encodeName(options.output).constData(), "w"));
        if (!file)
            return fail(ExitStatus::Output, QStringLiteral("cannot write %1: %2")
                                               .arg(options.output, QString::fromLocal8Bit(std::strerror(errno))));
        out = file.get();
    }
    TerminationSignals termination;
    // Rows on standard output are the data; progress only when they go elsewhere.
    Sampler sampler(link, options, out, file ? stderr : nullptr);
    QObject::connect(&termination, &TerminationSignals::received, &sampler, &Sampler::stop);
    ExitStatus status = sampler.run();
    QString message = sampler.message();
    if (file) {
        std::FILE* raw = file.release();
        if (std::fclose(raw) != 0 && status == ExitStatus::Ok) {
            status = ExitStatus::Output;
            message = QStringLiteral("cannot write %1: %2").arg(options.output, QString::fromLocal8Bit(std::strerror(errno)));
        }
    }
    if (!message.isEmpty())
        return fail(status, message);
    return status;
}

} // namespace zoltctl
