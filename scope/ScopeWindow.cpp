#include "scope/ScopeWindow.h"

#include "scope/AcquisitionPanel.h"
#include "scope/ChannelsPanel.h"
#include "scope/ChartExport.h"
#include "scope/ChartPacer.h"
#include "scope/ChartPanel.h"
#include "scope/OutputsPanel.h"
#include "scope/RecordPanel.h"
#include "scope/RecordingOpener.h"
#include "scope/ScopeActions.h"
#include "scope/ScopeChart.h"
#include "scope/SetupDialog.h"
#include "scope/SourcePanel.h"
#include "scope/StatusFigures.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

namespace scope {

ScopeWindow::ScopeWindow(QSettings& settings, QWidget* parent)
    : QMainWindow(parent)
    , m_settings(settings)
{
    setWindowTitle(QStringLiteral("ZOLT Scope"));
    setObjectName(QStringLiteral("ScopeWindow"));
    m_chart = new ScopeChart(m_session.store());
    m_chart->setObjectName(QStringLiteral("chart"));
    m_session.askReplace = [this](const QString& path) { return askReplace && askReplace(path); };
    askReplace = [this](const QString& path) {
        return QMessageBox::question(this, QStringLiteral("Replace file?"),
                                     QStringLiteral("%1 exists. Replace it?").arg(path),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    m_pacer = new ChartPacer(*m_chart, m_session.store(), this);
    // In this order: the toolbar, the menu bar and the status bar (the
    // reading's progress first in it), the panels, the status figures.
    m_actions = new ScopeActions(m_session, *m_chart, *this);
    m_opener = new RecordingOpener(m_session, *m_chart, *m_pacer, *this);
    m_export = new ChartExport(*m_chart, *this);
    buildPanels();
    m_figures = std::make_unique<StatusFigures>(*statusBar());
    loadSettings();
    wire();
    updateControls();
    m_chart->refresh();
    updateStats();
}

ScopeWindow::~ScopeWindow()
{
    // The session outlives the window's members: it tells the window nothing more.
    m_session.disconnect(this);
    m_session.finish();
}

void ScopeWindow::wire()
{
    connect(m_pacer, &ChartPacer::figuresDue, this, &ScopeWindow::updateStats);
    connect(m_chart, &ScopeChart::heldByUser, this, &ScopeWindow::updateControls);

    connect(m_actions, &ScopeActions::recordingWanted, this, [this](bool on) {
        m_recordPanel->setRecording(on);
        updateControls();   // a file not chosen leaves it as it was
    });
    connect(m_actions, &ScopeActions::viewChanged, this, &ScopeWindow::updateControls);
    connect(m_actions, &ScopeActions::exportWanted, m_export, &ChartExport::save);
    connect(m_actions, &ScopeActions::setupWanted, this, &ScopeWindow::editSetup);
    connect(m_export, &ChartExport::saved, statusBar(), &QStatusBar::showMessage);
    connect(m_opener, &RecordingOpener::opened, this, &ScopeWindow::updateControls);
    connect(m_opener, &RecordingOpener::read, this, [this] {
        updateStats();
        updateControls();
    });

    ScopeSession* s = &m_session;
    connect(s, &ScopeSession::changed, this, &ScopeWindow::updateControls);
    connect(s, &ScopeSession::scanned, this, [this] { m_pacer->schedule(); });
    connect(s, &ScopeSession::setupChanged, this, [this] { m_channelsPanel->showSetup(m_session.channelSetup()); });
    connect(s, &ScopeSession::sourceWanted, this, [this] { (void)connectChosen(); });
    connect(s, &ScopeSession::started, this, [this] { m_chart->setLive(true); });
    connect(s, &ScopeSession::stopped, this, [this] {
        m_banner->hide();
        m_chart->refresh();
        // The figures of the last scans at once: refreshes while sampling update
        // them at most four times a second, and nothing else comes to do it.
        updateStats();
    });
    connect(s, &ScopeSession::lost, this, [this](const QString& what) {
        m_banner->setText(QStringLiteral("Waiting for %1 to return; sampling goes on by itself when it does.").arg(what));
        m_banner->show();
    });
    connect(s, &ScopeSession::returned, m_banner, &QWidget::hide);
    connect(s, &ScopeSession::failed, this, [this](const QString& why) { statusBar()->showMessage(why, 10000); });
    connect(s, &ScopeSession::note, this, [this](const QString& text, int ms) { statusBar()->showMessage(text, ms); });
    connect(s, &ScopeSession::ticked, this, [this] {
        updateControls();
        updateStats();
    });
}

// ---------------------------------------------------------------- building

std::array<ScopePanel*, 5> ScopeWindow::panels() const
{
    return {m_sourcePanel, m_acquisitionPanel, m_chartPanel, m_outputsPanel, m_recordPanel};
}

void ScopeWindow::buildPanels()
{
    m_sourcePanel = new SourcePanel(m_session);
    m_acquisitionPanel = new AcquisitionPanel(m_session);
    m_chartPanel = new ChartPanel(*m_chart);
    m_outputsPanel = new OutputsPanel(m_session);
    m_recordPanel = new RecordPanel(m_session);
    auto* side = new QWidget;
    auto* sideLayout = new QVBoxLayout(side);
    for (ScopePanel* panel : panels())
        sideLayout->addWidget(dynamic_cast<QWidget*>(panel));
    sideLayout->addStretch(1);
    auto* sideScroll = new QScrollArea;
    sideScroll->setWidget(side);
    sideScroll->setWidgetResizable(true);
    sideScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sideScroll->setMinimumWidth(side->sizeHint().width() + 20);
    sideScroll->setAccessibleName(QStringLiteral("Settings"));

    // --- Chart with its banner.
    m_banner = new QLabel;
    m_banner->setObjectName(QStringLiteral("banner"));
    m_banner->setStyleSheet(QStringLiteral("QLabel { background: #fff3b0; color: black; padding: 6px; border: 1px solid #c9a800; }"));
    m_banner->setWordWrap(true);
    m_banner->setAccessibleName(QStringLiteral("Source state banner"));
    m_banner->hide();
    auto* centre = new QWidget;
    auto* centreLayout = new QVBoxLayout(centre);
    centreLayout->setContentsMargins(0, 0, 0, 0);
    centreLayout->addWidget(m_banner);
    centreLayout->addWidget(m_chart, 1);
    m_chart->setMinimumSize(400, 300);

    m_channelsPanel = new ChannelsPanel(*m_chart);
    auto* splitter = new QSplitter;
    splitter->addWidget(sideScroll);
    splitter->addWidget(centre);
    splitter->addWidget(m_channelsPanel);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setStretchFactor(2, 0);
    splitter->setCollapsible(1, false);
    setCentralWidget(splitter);
}

// ---------------------------------------------------------------- settings

void ScopeWindow::loadSettings()
{
    QSettings& s = m_settings;
    for (ScopePanel* panel : panels())
        panel->restore(s);
    m_channelsPanel->restore(s);
    const QByteArray kept = s.value(QStringLiteral("setup/json")).toByteArray();
    if (const front::SetupRead read = front::ChannelSetup::fromJson(kept); read.setup)
        m_session.setSetup(*read.setup);
    // Before the session is wired to the window: shown here.
    m_channelsPanel->showSetup(m_session.channelSetup());
}

void ScopeWindow::saveSettings()
{
    QSettings& s = m_settings;
    for (ScopePanel* panel : panels())
        panel->keep(s);
    m_channelsPanel->keep(s);
    s.setValue(QStringLiteral("setup/json"), m_session.channelSetup().toJson());
    s.sync();
}

// ---------------------------------------------------------------- source and sampling

void ScopeWindow::setPause(int ms)
{
    m_acquisitionPanel->setPause(ms);
}

QString ScopeWindow::connectChosen()
{
    return m_sourcePanel->connectChosen();
}

QString ScopeWindow::connectTo(const front::LinkOptions& link)
{
    // Show the choice the options make, so that it is remembered.
    m_sourcePanel->showLink(link);
    return m_session.connectTo(link);
}

QString ScopeWindow::connectToBroker(const front::MqttOptions& options)
{
    m_sourcePanel->showBroker(options);
    return m_session.connectToBroker(options);
}

QString ScopeWindow::openRecording(const QString& path, bool follow)
{
    return m_opener->open(path, follow);
}

QString ScopeWindow::bannerText() const
{
    return m_banner->isVisible() || !m_session.waitingFor().isEmpty() ? m_banner->text() : QString();
}

// ---------------------------------------------------------------- outputs

void ScopeWindow::setAnalogOutput(int channel, int millivolts)
{
    m_outputsPanel->setAnalogOutput(channel, millivolts);
}

void ScopeWindow::setDigitalOutput(bool high)
{
    m_outputsPanel->setDigitalOutput(high);
}

// ---------------------------------------------------------------- figures

QString ScopeWindow::statusText() const
{
    return m_figures->text();
}

void ScopeWindow::editSetup()
{
    // The calibration assistant takes an input's latest reading from the store.
    const ScanStore& store = m_session.store();
    SetupDialog dialog(m_session.channelSetup(), [&store](int input) -> std::optional<double> {
        const long long last = store.size() - 1;
        if (last < 0 || !store.valid(last, input))
            return std::nullopt;
        return store.millivolts(last, input);
    }, this);
    if (dialog.exec() == QDialog::Accepted) {
        if (const auto setup = dialog.setup())
            m_session.setSetup(*setup);
    }
}

void ScopeWindow::updateStats()
{
    m_channelsPanel->showFigures();
}

void ScopeWindow::updateControls()
{
    m_actions->follow(m_session);
    // An opened recording names the window after its file.
    const QString file = m_session.showingFile() ? QFileInfo(m_session.recording().path()).fileName() : QString();
    setWindowTitle(file.isEmpty() ? QStringLiteral("ZOLT Scope") : QStringLiteral("%1 - ZOLT Scope").arg(file));
    for (ScopePanel* panel : panels())
        panel->follow(m_session);
    m_figures->follow(m_session);
}

void ScopeWindow::closeEvent(QCloseEvent* event)
{
    m_session.finish();
    saveSettings();
    event->accept();
}

} // namespace scope
