#include "scope/ModuleSource.h"

namespace scope {

ModuleSource::ModuleSource(const front::LinkOptions& options, QObject* parent)
    : ScanSource(parent)
    , m_options(options)
    , m_link(std::make_unique<front::ModuleLink>(front::ModuleLink::controlFor(options)))
{
    m_label = options.simulate ? QStringLiteral("Demo") : QString();
}

ModuleSource::~ModuleSource()
{
    if (m_acquisition)
        m_acquisition->stop();
    m_acquisition.reset();
}

QString ModuleSource::label() const { return m_label; }

QString ModuleSource::open()
{
    if (const auto failure = m_link->open(m_options))
        return failure->message;
    if (!m_options.simulate)
        m_label = m_link->portLabel(m_link->module().SelPort);
    m_acquisition = std::make_unique<acquisition::Acquisition>(m_link->module());
    connect(m_acquisition.get(), &acquisition::Acquisition::scanned, this, &ScanSource::scanned);
    connect(m_acquisition.get(), &acquisition::Acquisition::portLost, this, [this] { emit lost(m_label); });
    connect(m_acquisition.get(), &acquisition::Acquisition::portReturned, this, &ScanSource::returned);
    connect(m_acquisition.get(), &acquisition::Acquisition::outputSent, this, &ScanSource::outputSent);
    connect(m_acquisition.get(), &acquisition::Acquisition::ended, this, [this] { emit ended(); });
    return {};
}

void ModuleSource::setSettings(const acquisition::Settings& settings)
{
    if (m_acquisition)
        m_acquisition->setSettings(settings);
}

void ModuleSource::start()
{
    if (m_acquisition)
        m_acquisition->start();
}

void ModuleSource::stop()
{
    if (m_acquisition)
        m_acquisition->stop();
}

bool ModuleSource::running() const { return m_acquisition && m_acquisition->running(); }

bool ModuleSource::waiting() const { return m_acquisition && m_acquisition->waitingForPort(); }

double ModuleSource::limitScansPerSecond(const acquisition::Settings& settings) const
{
    return acquisition::lineLimitScansPerSecond(settings, m_options.baud);
}

long long ModuleSource::missedReplies() const { return m_acquisition ? m_acquisition->missedReplies() : 0; }

void ModuleSource::setAnalogOutput(int channel, int millivolts)
{
    if (m_acquisition)
        m_acquisition->setAnalogOutput(channel, millivolts);
}

void ModuleSource::setDigitalOutput(bool high)
{
    if (m_acquisition)
        m_acquisition->setDigitalOutput(high);
}

} // namespace scope
