#include "link/Acquisition.h"

#include "link/Module1.h"
#include "link/PreciseAlarm.h"
#include "link/Protocol.h"
#include "link/ReplyDeadline.h"
#include "link/SerialControl.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <deque>
#include <limits>
#include <memory>
#include <optional>

namespace acquisition {

namespace {

int clampedPause(int ms)
{
    return std::clamp(ms, kShortestPauseMs, kLongestPauseMs);
}

// The timer's interval cannot hold more than about 24 days; a longer limit
// than that is no limit worth a timer.
constexpr qint64 kLongestTimerMs = std::numeric_limits<int>::max();

} // namespace

double lineLimitScansPerSecond(const Settings& settings, int baud)
{
    if (baud <= 0)
        return 0;
    const int top = std::clamp(settings.topChannel, 0, protocol::kMaxAnalogChannel);
    qsizetype bytes = protocol::readAnalogCommand(top).size() + protocol::analogReplyLength(top);
    if (settings.digital)
        bytes += protocol::readDigitalCommand().size() + protocol::kDigitalReplyBytes;
    const double wireSeconds = static_cast<double>(bytes * replydeadline::kBitsPerByte) / baud;
    return 1.0 / (wireSeconds + clampedPause(settings.pauseMs) / 1000.0);
}

struct Acquisition::Private {
    // What the cycle is doing: the pause, or waiting for one of the two replies.
    enum class Stage { Pause, Analog, Digital };

    struct Output {
        int channel;   // -1 for the digital output
        int value;     // millivolts, or the level
    };

    explicit Private(Module1& m)
        : module(m)
    {
    }

    Module1& module;
    std::unique_ptr<QTimer> ownPause;
    QTimer* pause = nullptr;
    // Ends a pause that follows a reply when it is due, counted from the
    // reply's arrival; the pause timer, counting from when it was enabled and
    // in whole milliseconds, would end it up to a few hundred us later.
    PreciseAlarm alarm;
    int alarmForMs = -1;   // the pause timer's interval the alarm was armed for
    // When the receive event in hand arrived; only while it is handled.
    std::optional<std::chrono::steady_clock::time_point> replyAt;
    // A reply completed in the receive event in hand; only while it is handled.
    bool replyIn = false;
    // Stopped: a read of the lines is asked for, or sent and awaited.
    bool linesWanted = false;
    bool linesAwaited = false;
    QTimer duration;
    QElapsedTimer clock;
    Settings settings;
    bool settingsPending = false;
    bool running = false;
    bool waiting = false;
    Stage stage = Stage::Pause;
    bool cycleDigital = false;
    Scan scan;
    long long missedAtStart = 0;
    std::deque<Output> outputs;
};

Acquisition::Acquisition(Module1& module, QObject* parent)
    : QObject(parent)
    , d(new Private(module))
{
    d->ownPause = std::make_unique<QTimer>();
    d->pause = d->ownPause.get();
    d->pause->setTimerType(Qt::PreciseTimer);   // a 1 ms pause must stay 1 ms
    d->pause->setInterval(clampedPause(d->settings.pauseMs));
    connect(d->pause, &QTimer::timeout, this, &Acquisition::pauseEnded);
    connect(&module.comm(), &SerialControl::OnComm, this, [this] {
        if (d->module.comm().CommEvent() == SerialControl::kComEvReceive)
            replyArrived();
        commEventDone();
    });
    init();
}

Acquisition::Acquisition(Module1& module, QTimer& pauseTimer, QObject* parent)
    : QObject(parent)
    , d(new Private(module))
{
    d->pause = &pauseTimer;
    init();
}

void Acquisition::init()
{
    connect(&d->alarm, &PreciseAlarm::timeout, this, &Acquisition::alarmRang);
    d->duration.setSingleShot(true);
    d->duration.setTimerType(Qt::PreciseTimer);
    connect(&d->duration, &QTimer::timeout, this, [this] { finish(End::DurationReached); });
    // Connected after Module1's own handlers, so the shared state is already
    // that of a lost (or returned) port when these run.
    connect(&d->module.comm(), &SerialControl::portLost, this, &Acquisition::onPortLost);
    connect(&d->module.comm(), &SerialControl::portReturned, this, &Acquisition::onPortReturned);
    d->module.setReplyObserver(this);
}

Acquisition::~Acquisition()
{
    d->module.setReplyObserver(nullptr);
    delete d;
}

void Acquisition::setSettings(const Settings& settings)
{
    d->settings = settings;
    d->settings.topChannel = std::clamp(settings.topChannel, 0, protocol::kMaxAnalogChannel);
    d->settings.pauseMs = clampedPause(settings.pauseMs);
    d->settingsPending = true;
    if (!d->running)
        applySettings();
}

const Settings& Acquisition::settings() const
{
    return d->settings;
}

void Acquisition::applySettings()
{
    Module1& m = d->module;
    m.TopChan = d->settings.topChannel;
    if (!d->settings.digital)
        m.DinMode = 0;
    else if (m.DinMode <= 0)
        m.DinMode = 1;
    // Only while the timer is stopped: setting a running timer's interval restarts it.
    if (!d->pause->isActive())
        d->pause->setInterval(d->settings.pauseMs);
    d->settingsPending = false;
}

void Acquisition::start()
{
    Module1& m = d->module;
    if (!d->running) {
        if (d->settingsPending)
            applySettings();
        d->running = true;
        d->waiting = !m.comm().PortOpen() && m.comm().watchingForReturn();
        d->stage = Private::Stage::Pause;
        d->scan = Scan{};
        d->missedAtStart = m.MissedReplies;
        d->clock.start();
        if (d->settings.durationLimitMs > 0)
            d->duration.start(static_cast<int>(std::min(d->settings.durationLimitMs, kLongestTimerMs)));
    }
    // Started again while running, the count of cycles starts again.
    m.Sampling = 1;
    m.SampCount = 0;
    armPause();
}

void Acquisition::stop()
{
    if (d->running) {
        finish(End::Stopped);
        return;
    }
    d->module.Sampling = 0;
    stopPause();
}

void Acquisition::finish(End why)
{
    d->running = false;
    d->module.Sampling = 0;
    stopPause();
    d->duration.stop();
    d->stage = Private::Stage::Pause;
    // Commands asked for in the last pause still go out (they were accepted),
    // once the exchange in hand, if any, is over.
    sendOutputs();
    emit ended(why);
}

bool Acquisition::running() const
{
    return d->running;
}

bool Acquisition::waitingForPort() const
{
    return d->running && d->waiting;
}

long long Acquisition::scans() const
{
    return d->scan.seq;
}

long long Acquisition::missedReplies() const
{
    return d->module.MissedReplies - d->missedAtStart;
}

// ---------------------------------------------------------------- the cycle

void Acquisition::armPause()
{
    // Enabling a running timer leaves its count as it is.
    if (d->pause->isActive())
        return;
    d->pause->start();
    d->alarm.stop();
    d->alarmForMs = -1;
    // The pause lies between the end of one cycle and the start of the next:
    // after a reply it counts from the reply's arrival, not from the end of
    // its handler.
    if (d->replyAt) {
        using namespace std::chrono;
        const auto left = milliseconds(d->pause->interval()) - (steady_clock::now() - *d->replyAt);
        d->alarmForMs = d->pause->interval();
        d->alarm.start(duration_cast<microseconds>(left).count());
    }
}

void Acquisition::stopPause()
{
    d->pause->stop();
    d->alarm.stop();
}

void Acquisition::alarmRang()
{
    // Only for the pause it was armed for: a pause timer stopped meanwhile, or
    // given another interval (which starts it again), keeps its own count.
    if (!d->pause->isActive() || d->pause->interval() != d->alarmForMs)
        return;
    if (d->ownPause)
        pauseEnded();
    else
        emit pauseDue();
}

void Acquisition::pauseEnded()
{
    Module1& m = d->module;
    stopPause();
    if (d->running && d->settingsPending)
        applySettings();
    sendOutputs();
    // The cycle's shape is fixed as it begins, so that a scan never mixes two.
    d->cycleDigital = m.DinMode > 0;
    d->stage = Private::Stage::Analog;
    m.RequestAnalog();   // may give the cycle up at once: see receptionIdleAgain()
    m.SampCount += 1;
}

void Acquisition::replyArrived()
{
    d->replyAt = std::chrono::steady_clock::now();
    d->module.ReceiveReply();
}

void Acquisition::commEventDone()
{
    Module1& m = d->module;
    const bool replyIn = d->replyIn;
    const auto handled = qScopeGuard([this] {
        d->replyAt.reset();
        d->replyIn = false;
    });
    // A lost port holds the cycle (its line events come here too) until it is back.
    if (!m.comm().PortOpen())
        return;
    if (replyIn && d->linesAwaited && !d->running && m.RxMode == kRxIdle) {
        d->linesAwaited = false;
        emit linesRead();
    }
    if (m.RxMode == kRxIdle && m.RxChan < 0) {
        if (d->running)
            takeReply();
        else
            sendOutputs();
    }
    if (m.Sampling == 1 && m.RxChan < 0 && m.DinMode == 1)
        m.RequestDigital();
    if (m.Sampling == 1 && m.RxChan < 0)
        armPause();
}

void Acquisition::takeReply()
{
    const Module1& m = d->module;
    Scan& s = d->scan;
    if (d->stage == Private::Stage::Analog) {
        s.topChannel = m.TopChan;
        for (int ch = 0; ch <= m.TopChan; ++ch) {
            s.counts[ch] = m.AnaData[ch][1];
            s.millivolts[ch] = m.AnaData[ch][2];
        }
        s.digital = false;
        s.lines = {};
        if (d->cycleDigital) {
            d->stage = Private::Stage::Digital;   // the read goes out below
            return;
        }
    } else if (d->stage == Private::Stage::Digital) {
        s.digital = true;
        for (int i = 0; i < kDigitalLines; ++i)
            s.lines[i] = m.DigData[kFirstDigitalLine + i][0];
    } else {
        return;
    }
    d->stage = Private::Stage::Pause;
    ++s.seq;
    s.elapsedNs = d->clock.nsecsElapsed();
    s.wall = std::chrono::system_clock::now();
    s.missedReplies = missedReplies();
    emit scanned(s);
    if (d->running && d->settings.countLimit > 0 && s.seq >= d->settings.countLimit)
        finish(End::CountReached);
}

void Acquisition::replyEnded(ReplyObserver::End how)
{
    if (how == ReplyObserver::End::Complete) {
        d->replyIn = true;   // taken once the event is handled: commEventDone()
        return;
    }
    // The read in hand, before the cycle forgets it.
    const Read read = d->running && d->stage == Private::Stage::Analog ? Read::Analog : Read::Digital;
    const bool awaited = d->running ? d->stage != Private::Stage::Pause : d->linesAwaited;
    d->linesAwaited = false;
    const bool lost = !d->module.comm().PortOpen();
    // A lost port's own handler holds the cycle until the port is back.
    if (lost)
        d->stage = Private::Stage::Pause;
    else
        receptionIdleAgain();
    if (how == ReplyObserver::End::Missed)
        emit replyFailed(read, Failure::Missed);
    else if (lost && awaited)
        emit replyFailed(read, Failure::PortLost);
}

void Acquisition::receptionIdleAgain()
{
    d->stage = Private::Stage::Pause;
    if (!d->running)
        sendOutputs();
    else if (d->module.Sampling == 1 && d->module.comm().PortOpen())
        armPause();
}

void Acquisition::onPortLost()
{
    d->stage = Private::Stage::Pause;
    stopPause();
    if (!d->running)
        return;
    d->waiting = true;
    emit portLost();
}

void Acquisition::onPortReturned()
{
    if (!d->running)
        return;
    d->waiting = false;
    emit portReturned();
    receptionIdleAgain();
}

// ---------------------------------------------------------------- outputs

void Acquisition::setAnalogOutput(int channel, int millivolts)
{
    d->outputs.push_back({channel & (protocol::kDacChannels - 1),
                          std::clamp(millivolts, 0, protocol::kDacMaxMillivolts)});
    if (!d->running)
        sendOutputs();
}

void Acquisition::setDigitalOutput(bool high)
{
    d->outputs.push_back({-1, high ? 1 : 0});
    if (!d->running)
        sendOutputs();
}

void Acquisition::readLines()
{
    if (d->running)
        return;   // the scans carry the lines
    d->linesWanted = true;
    sendOutputs();
}

void Acquisition::sendOutputs()
{
    Module1& m = d->module;
    // Never inside an exchange: a command sent while a reply is due would
    // share the line with it.
    if (m.RxMode != kRxIdle)
        return;
    while (!d->outputs.empty()) {
        const Private::Output out = d->outputs.front();
        d->outputs.pop_front();
        if (out.channel < 0) {
            m.DoutLevel = out.value;
            m.SendOutputLine(out.value);
            // Read back when stopped; in a run the next scan's lines show it.
            d->linesWanted = d->linesWanted || !d->running;
        } else {
            m.DacChan = out.channel;
            m.DacVal = static_cast<std::int16_t>(out.value);
            m.ValStr = protocol::fourDigits(out.value);
            m.SetAnalogOutput();
        }
        emit outputSent(out.channel, out.value);
    }
    // Between scans in a run the next read follows at once; stopped, the
    // lines are read back so that the shared state shows what the module did.
    if (d->linesWanted && !d->running) {
        d->linesWanted = false;
        d->linesAwaited = true;
        m.RequestDigital();
    }
}

} // namespace acquisition
