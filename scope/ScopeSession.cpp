#include "scope/ScopeSession.h"

#ifdef ZOLT_HAS_MQTT
#include "scope/MqttSource.h"
#include "scope/PublishedSource.h"
#endif

#include "scope/ModuleSource.h"

namespace scope {

namespace {

// Status notes stay this long, ms.
constexpr int kNoteMs = 10000;
constexpr int kErrorNoteMs = 15000;

} // namespace

ScopeSession::ScopeSession(QObject* parent)
    : QObject(parent)
{
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &ScopeSession::onTick);
    m_tick.start();
    m_tickClock.start();
}

ScopeSession::~ScopeSession()
{
    finish();
}

void ScopeSession::finish()
{
    // A recording ends whole: the row in hand is already written.
    m_recorder.stop();
    if (m_source)
        m_source->stop();
}

QString ScopeSession::fail(const QString& why)
{
    m_problem = why;
    emit failed(why);
    emit changed();
    return why;
}

// ---------------------------------------------------------------- source

QString ScopeSession::connectTo(const front::LinkOptions& link)
{
    stopSampling();
    m_published.reset();
    m_source.reset();
    m_baud = link.baud;
    auto source = std::make_unique<ModuleSource>(link);
    const QString why = source->open();
    if (!why.isEmpty())
        return fail(why);
    useSource(std::move(source));
    return {};
}

QString ScopeSession::connectToBroker(const front::MqttOptions& options)
{
#ifdef ZOLT_HAS_MQTT
    stopSampling();
    m_published.reset();
    m_source.reset();
    auto source = std::make_unique<MqttSource>(options);
    const QString why = source->open();
    if (!why.isEmpty())
        return fail(why);
    // The outputs follow what the bench's meta says it takes.
    connect(source->bench(), &front::RemoteBench::metaChanged, this, &ScopeSession::changed);
    // The bench's names and units, when it publishes a setup.
    connect(source->bench(), &front::RemoteBench::metaChanged, this, [this, bench = source->bench()] {
        if (bench->meta() && bench->meta()->setup)
            setSetup(*bench->meta()->setup);
    });
    useSource(std::move(source));
    return {};
#else
    (void)options;
    return fail(QStringLiteral("This ZOLT Scope was built without MQTT (libmosquitto)."));
#endif
}

QString ScopeSession::publishTo(const front::MqttOptions& options)
{
#ifdef ZOLT_HAS_MQTT
    if (!m_source)
        return QStringLiteral("connect to a module first");
    if (qobject_cast<MqttSource*>(m_source.get()))
        return QStringLiteral("this bench is on the broker already");
    std::unique_ptr<PublishedSource> published;
    const QString why = PublishedSource::start(*m_source, options, m_settings, m_baud, givenSetup(), published);
    if (!why.isEmpty())
        return fail(why);
    connect(published.get(), &PublishedSource::brokerProblem, this,
            [this](const QString& reason) { emit note(reason, kNoteMs); });
    m_published = std::move(published);
    emit note(QStringLiteral("Publishing on %1").arg(options.endpoint.host), kNoteMs);
    return {};
#else
    (void)options;
    return QStringLiteral("this ZOLT Scope was built without MQTT (libmosquitto)");
#endif
}

void ScopeSession::useSource(std::unique_ptr<ScanSource> source)
{
    stopSampling();
    m_published.reset();
    m_source = std::move(source);
    m_problem.clear();
    m_waitingFor.clear();
    connect(m_source.get(), &ScanSource::scanned, this, &ScopeSession::onScanned);
    connect(m_source.get(), &ScanSource::lost, this, [this](const QString& what) {
        m_waitingFor = what;
        emit lost(what);
        emit changed();
    });
    connect(m_source.get(), &ScanSource::returned, this, [this] {
        m_waitingFor.clear();
        emit returned();
        emit note(QStringLiteral("%1 is back; sampling goes on.").arg(m_source->label()), 5000);
        emit changed();
    });
    connect(m_source.get(), &ScanSource::ended, this, &ScopeSession::stopSampling);
    connect(m_source.get(), &ScanSource::outputSent, this, &ScopeSession::outputSent);
    m_source->setSettings(m_settings);
    emit sourceChanged();
    emit changed();
}

void ScopeSession::setSetup(const front::ChannelSetup& setup)
{
    m_setup = setup;
#ifdef ZOLT_HAS_MQTT
    if (auto* published = qobject_cast<PublishedSource*>(m_published.get()))
        published->setSetup(givenSetup());
#endif
    emit setupChanged();
}

std::optional<front::ChannelSetup> ScopeSession::givenSetup() const
{
    return m_setup.isDefault() ? std::nullopt : std::optional(m_setup);
}

void ScopeSession::setSettings(const acquisition::Settings& settings)
{
    m_settings = settings;
    if (m_source)
        m_source->setSettings(settings);
#ifdef ZOLT_HAS_MQTT
    if (auto* published = qobject_cast<PublishedSource*>(m_published.get()))
        published->setSettings(settings);
#endif
    emit changed();
}

// ---------------------------------------------------------------- sampling

void ScopeSession::startSampling()
{
    if (!m_source)
        emit sourceWanted();
    if (!m_source || sampling()) {
        emit changed();
        return;
    }
    // A new run: its scans start from 1 and from time 0, in place of an
    // opened recording.
    m_recording.close();
    m_showingFile = false;
    m_store.clear();
    m_runScans = 0;
    m_scansAtTick = 0;
    m_rate = 0;
    m_tickClock.restart();
    m_source->setSettings(m_settings);
    m_source->start();
    emit started();
    emit changed();
}

QString ScopeSession::openRecording(const QString& path, bool follow)
{
    stopSampling();
    stopRecording();
    const QString why = m_recording.open(path, follow);
    if (why.isEmpty())
        m_showingFile = true;
    emit changed();
    return why;
}

void ScopeSession::stopSampling()
{
    if (m_source && m_source->running())
        m_source->stop();
    m_waitingFor.clear();
    emit stopped();
    emit changed();
}

void ScopeSession::onScanned(const acquisition::Scan& scan)
{
    m_store.append(scan);
    ++m_runScans;
    if (m_recorder.active() && !m_recorder.write(scan)) {
        emit note(m_recorder.error(), kErrorNoteMs);
        emit changed();
    }
    emit scanned();
}

void ScopeSession::onTick()
{
    const qint64 ms = m_tickClock.restart();
    if (ms > 0)
        m_rate = static_cast<double>(m_runScans - m_scansAtTick) * 1000.0 / static_cast<double>(ms);
    m_scansAtTick = m_runScans;
    if (m_recorder.active() && !m_recorder.checkFile())
        emit note(m_recorder.error(), kErrorNoteMs);
    if (!sampling())
        m_rate = 0;
    emit ticked();
}

// ---------------------------------------------------------------- recording

QString ScopeSession::startRecording(const QString& path, front::Format format, bool replace)
{
    const std::optional<front::ChannelSetup> setup = givenSetup();
    const front::ChannelSetup* scaled = setup ? &*setup : nullptr;
    Recorder::Opened opened = m_recorder.start(path, format, m_settings.topChannel, m_settings.digital, replace, scaled);
    if (opened == Recorder::Opened::Exists) {
        if (!askReplace || !askReplace(path))
            return QStringLiteral("%1 exists and was kept").arg(path);
        opened = m_recorder.start(path, format, m_settings.topChannel, m_settings.digital, true, scaled);
    }
    if (opened != Recorder::Opened::Ok) {
        emit note(m_recorder.error(), kErrorNoteMs);
        emit changed();
        return m_recorder.error();
    }
    if (!sampling())
        startSampling();
    emit changed();
    return {};
}

void ScopeSession::stopRecording()
{
    m_recorder.stop();
    emit changed();
}

// ---------------------------------------------------------------- outputs

void ScopeSession::setAnalogOutput(int channel, int millivolts)
{
    if (!m_source || !m_source->drivesOutputs())
        return;
    m_source->setAnalogOutput(channel, millivolts);
    emit note(QStringLiteral("Output %1 set to %2 mV").arg(channel).arg(millivolts), 3000);
}

void ScopeSession::setDigitalOutput(bool high)
{
    if (!m_source || !m_source->drivesOutputs())
        return;
    m_source->setDigitalOutput(high);
}

} // namespace scope
