#include "scope/ScopeWindow.h"

#include "scope/AcquisitionPanel.h"
#include "scope/ChannelsPanel.h"
#include "scope/ChartPanel.h"
#include "scope/OutputsPanel.h"
#include "scope/RecordPanel.h"
#include "scope/ScopeChart.h"
#include "scope/SetupDialog.h"
#include "scope/SourcePanel.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScrollArea>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

namespace scope {

namespace {

// The chart is drawn at most this often while scans come in.
constexpr int kPaintIntervalMs = 50;
// After a scan the acquisition sends its next request after the pause
// (1 ms at Max Speed); the chart is drawn just after that, while the reply
// is on its way, so drawing never holds up a request.
constexpr int kPaintDelayMs = 3;
// Between drawings of a recording while it is first read, ms: each drawing
// of a growing day takes its time from the reading.
constexpr int kLoadingPaintIntervalMs = 250;
// The channels' figures are refreshed at most this often.
constexpr int kStatsIntervalMs = 250;

} // namespace

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
    buildActions();
    buildFileMenu();
    buildPanels();
    loadSettings();

    m_paintTimer.setSingleShot(true);
    m_paintTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paintTimer, &QTimer::timeout, this, &ScopeWindow::paintNow);
    m_sincePaint.start();
    m_sinceStats.start();
    connect(m_chart, &ScopeChart::refreshed, this, [this] {
        if (m_sinceStats.elapsed() >= kStatsIntervalMs) {
            m_sinceStats.restart();
            updateStats();
        }
    });
    connect(m_chart, &ScopeChart::heldByUser, this, [this] { updateControls(); });
    wireSession();
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

void ScopeWindow::wireSession()
{
    ScopeSession* s = &m_session;
    connect(s, &ScopeSession::changed, this, &ScopeWindow::updateControls);
    connect(s, &ScopeSession::scanned, this, &ScopeWindow::schedulePaint);
    connect(s, &ScopeSession::setupChanged, this, [this] { m_channelsPanel->showSetup(m_session.channelSetup()); });
    connect(s, &ScopeSession::sourceWanted, this, [this] { (void)connectChosen(); });
    connect(s, &ScopeSession::started, this, [this] { m_chart->setLive(true); });
    connect(s, &ScopeSession::stopped, this, [this] {
        m_banner->hide();
        m_chart->refresh();
        // The figures of the last scans at once: refreshes while sampling update
        // them at most every kStatsIntervalMs, and nothing else comes to do it.
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

void ScopeWindow::buildFileMenu()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* open = file->addAction(QStringLiteral("&Open recording..."));
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open a recording"), QString(),
                                                          QStringLiteral("Recordings (*.csv *.jsonl);;All files (*)"));
        if (!path.isEmpty())
            (void)openRecording(path);
    });
    m_loadBar = new QProgressBar;
    m_loadBar->setAccessibleName(QStringLiteral("Reading the recording"));
    m_loadBar->setRange(0, 1000);
    m_loadBar->setMaximumWidth(200);
    m_loadBar->hide();
    statusBar()->addPermanentWidget(m_loadBar);
    const RecordingLoader* loader = &m_session.recording();
    // The whole run's time axis as soon as its length is known; the rows fill it as they come.
    connect(loader, &RecordingLoader::spanKnown, this, [this, loader] {
        if (loader->lastRowNs() > 0)
            m_chart->showStretch(0, loader->lastRowNs());
    });
    connect(loader, &RecordingLoader::grew, this, [this, loader] {
        if (loader->atEnd() || m_sincePaint.elapsed() >= kLoadingPaintIntervalMs)
            schedulePaint();
    });
    connect(loader, &RecordingLoader::progress, this, [this, loader](qint64 bytes, qint64 total) {
        m_loadBar->setValue(total > 0 ? static_cast<int>(bytes * 1000 / total) : 0);
        statusBar()->showMessage(loader->text());
    });
    connect(loader, &RecordingLoader::reachedEnd, this, [this, loader] {
        m_loadBar->hide();
        statusBar()->showMessage(loader->text());
        paintNow();
        updateStats();
        updateControls();
    });
}

QString ScopeWindow::openRecording(const QString& path, bool follow)
{
    const QString why = m_session.openRecording(path, follow);
    if (!why.isEmpty()) {
        (void)m_session.fail(why);
        return why;
    }
    m_chart->setLive(false);
    m_loadBar->setValue(0);
    m_loadBar->show();
    updateControls();
    return {};
}

// The checkable controls act on being toggled, not on a click: a click, a
// shortcut and a screen reader's toggle action all toggle, while only the
// first two click. A toggle to the state things are already in (as
// updateControls() sets them back) asks for nothing.
template <typename Control, typename Toggled>
void ScopeWindow::onToggled(Control* control, Toggled toggled, std::function<bool()> now, std::function<void(bool)> want)
{
    connect(control, toggled, this, [now = std::move(now), want = std::move(want)](bool on) {
        if (on != now())
            want(on);
    });
}

void ScopeWindow::setSampling(bool on)
{
    on ? startSampling() : stopSampling();
}

void ScopeWindow::buildActions()
{
    QToolBar* bar = addToolBar(QStringLiteral("Main"));
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setMovable(false);
    const auto add = [&](const QString& text, const QKeySequence& key, const QString& tip) {
        auto* a = new QAction(text, this);
        a->setShortcut(key);
        a->setToolTip(QStringLiteral("%1 (%2)").arg(tip, key.toString(QKeySequence::NativeText)));
        bar->addAction(a);
        return a;
    };
    m_startAction = add(QStringLiteral("Start"), QKeySequence(Qt::Key_Space), QStringLiteral("Start or stop sampling"));
    m_startAction->setCheckable(true);
    m_recordAction = add(QStringLiteral("Record"), QKeySequence(Qt::CTRL | Qt::Key_R), QStringLiteral("Start or stop recording to a file"));
    m_recordAction->setCheckable(true);
    bar->addSeparator();
    m_holdAction = add(QStringLiteral("Hold"), QKeySequence(Qt::Key_H), QStringLiteral("Hold the view while sampling goes on"));
    m_holdAction->setCheckable(true);
    m_liveAction = add(QStringLiteral("Live"), QKeySequence(Qt::Key_End), QStringLiteral("Back to the live view"));
    QAction* zoomIn = add(QStringLiteral("Zoom in"), QKeySequence(Qt::Key_Plus), QStringLiteral("Zoom into the time axis"));
    QAction* zoomOut = add(QStringLiteral("Zoom out"), QKeySequence(Qt::Key_Minus), QStringLiteral("Zoom out of the time axis"));
    m_boxZoomAction = add(QStringLiteral("Box zoom"), QKeySequence(Qt::Key_B), QStringLiteral("Drag a box to zoom into"));
    m_boxZoomAction->setCheckable(true);
    bar->addSeparator();
    QAction* png = add(QStringLiteral("Export PNG"), QKeySequence(Qt::CTRL | Qt::Key_P), QStringLiteral("Save the chart as a PNG picture"));
    QAction* pdf = add(QStringLiteral("Export PDF"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), QStringLiteral("Save the chart as a PDF document"));
    QAction* csv = add(QStringLiteral("Export CSV"), QKeySequence(Qt::CTRL | Qt::Key_E), QStringLiteral("Save the scans in view as CSV"));
    bar->addSeparator();
    QAction* setup = add(QStringLiteral("Setup"), QKeySequence(Qt::CTRL | Qt::Key_U),
                         QStringLiteral("Names, units and scales of the channels"));
    connect(setup, &QAction::triggered, this, &ScopeWindow::editSetup);
    auto* quit = new QAction(QStringLiteral("Quit"), this);
    quit->setShortcut(QKeySequence::Quit);
    addAction(quit);

    onToggled(m_startAction, &QAction::toggled, [this] { return sampling(); }, [this](bool on) { setSampling(on); });
    connect(m_recordAction, &QAction::toggled, this, [this](bool on) {
        m_recordPanel->setRecording(on);
        updateControls();   // a file not chosen leaves it as it was
    });
    onToggled(m_holdAction, &QAction::toggled, [this] { return !m_chart->live(); }, [this](bool held) {
        m_chart->setLive(!held);
        updateControls();
    });
    connect(m_liveAction, &QAction::triggered, this, [this] {
        m_chart->setLive(true);
        updateControls();
    });
    connect(zoomIn, &QAction::triggered, this, [this] { m_chart->zoomBy(0.5); });
    connect(zoomOut, &QAction::triggered, this, [this] { m_chart->zoomBy(2.0); });
    connect(m_boxZoomAction, &QAction::toggled, m_chart, &ScopeChart::setBoxZoom);
    connect(png, &QAction::triggered, this, [this] { exportChart(0); });
    connect(pdf, &QAction::triggered, this, [this] { exportChart(1); });
    connect(csv, &QAction::triggered, this, [this] { exportChart(2); });
    connect(quit, &QAction::triggered, this, &QWidget::close);
}

void ScopeWindow::setPause(int ms)
{
    m_acquisitionPanel->setPause(ms);
}

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

    // --- Status bar.
    m_rateLabel = new QLabel;
    m_missedLabel = new QLabel;
    m_portLabel = new QLabel;
    m_keptLabel = new QLabel;
    m_rateLabel->setAccessibleName(QStringLiteral("Scans a second"));
    m_missedLabel->setAccessibleName(QStringLiteral("Replies missed"));
    m_portLabel->setAccessibleName(QStringLiteral("Port state"));
    m_keptLabel->setAccessibleName(QStringLiteral("Scans kept"));
    for (QLabel* l : {m_rateLabel, m_missedLabel, m_portLabel, m_keptLabel})
        statusBar()->addPermanentWidget(l);
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

// ---------------------------------------------------------------- source

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

QString ScopeWindow::bannerText() const
{
    return m_banner->isVisible() || !m_session.waitingFor().isEmpty() ? m_banner->text() : QString();
}

void ScopeWindow::schedulePaint()
{
    if (m_paintTimer.isActive())
        return;
    const qint64 since = m_sincePaint.elapsed();
    m_paintTimer.start(static_cast<int>(std::max<qint64>(kPaintDelayMs, kPaintIntervalMs - since)));
}

void ScopeWindow::paintNow()
{
    m_sincePaint.restart();
    // A held view only changes when it reaches the end of the run.
    const ScanStore& store = m_session.store();
    if (m_chart->live() || store.size() == 0 || m_chart->viewToNs() >= store.elapsedNs(std::max(0LL, store.size() - 2)))
        m_chart->refresh();
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

// ---------------------------------------------------------------- export

void ScopeWindow::exportChart(int kind)
{
    static const char* const filters[] = {"PNG picture (*.png)", "PDF document (*.pdf)", "CSV (*.csv)"};
    static const char* const names[] = {"chart.png", "chart.pdf", "scans.csv"};
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export"), QLatin1String(names[kind]),
                                                      QLatin1String(filters[kind]));
    if (path.isEmpty())
        return;
    QString why;
    if (kind == 0 && !m_chart->exportPng(path))
        why = QStringLiteral("cannot write %1").arg(path);
    else if (kind == 1 && !m_chart->exportPdf(path))
        why = QStringLiteral("cannot write %1").arg(path);
    else if (kind == 2)
        why = m_chart->exportCsv(path);
    statusBar()->showMessage(why.isEmpty() ? QStringLiteral("Saved %1").arg(path) : why, 8000);
}

// ---------------------------------------------------------------- figures

QString ScopeWindow::statusText() const
{
    return QStringList{m_rateLabel->text(), m_missedLabel->text(), m_portLabel->text(), m_keptLabel->text()}.join(QLatin1String(" | "));
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
    const bool running = m_session.sampling();
    const bool recording = m_session.recorder().active();
    const ScanSource* source = m_session.source();
    m_startAction->setChecked(running);
    m_startAction->setText(running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    m_recordAction->setChecked(recording);
    m_recordAction->setText(recording ? QStringLiteral("Stop recording") : QStringLiteral("Record"));
    m_holdAction->setChecked(!m_chart->live());
    m_liveAction->setEnabled(!m_chart->live());
    // An opened recording names the window after its file.
    const QString file = m_session.showingFile() ? QFileInfo(m_session.recording().path()).fileName() : QString();
    setWindowTitle(file.isEmpty() ? QStringLiteral("ZOLT Scope") : QStringLiteral("%1 - ZOLT Scope").arg(file));

    for (ScopePanel* panel : panels())
        panel->follow(m_session);

    const double rate = m_session.rate();
    const double limit = source ? source->limitScansPerSecond(m_session.settings()) : 0;
    m_rateLabel->setText(limit > 0 ? QStringLiteral("%1 scans/s of %2 the line allows").arg(rate, 0, 'f', 1).arg(limit, 0, 'f', 1)
                                   : QStringLiteral("%1 scans/s").arg(rate, 0, 'f', 1));
    m_missedLabel->setText(QStringLiteral("%1 replies missed").arg(source ? source->missedReplies() : 0));
    const QString& problem = m_session.problem();
    if (!source)
        m_portLabel->setText(problem.isEmpty() ? QStringLiteral("not connected") : QStringLiteral("not connected: ") + problem);
    else if (!m_session.waitingFor().isEmpty())
        m_portLabel->setText(QStringLiteral("%1: lost, waiting").arg(m_session.waitingFor()));
    else
        m_portLabel->setText(QStringLiteral("%1: %2").arg(source->label(), running ? QStringLiteral("sampling") : QStringLiteral("open")));
    const ScanStore& store = m_session.store();
    QString kept = QStringLiteral("%1 scans kept").arg(QLocale::system().toString(store.size()));
    if (store.dropped() > 0)
        kept += QStringLiteral(" (limit reached: the oldest %1 dropped)").arg(QLocale::system().toString(store.dropped()));
    m_keptLabel->setText(kept);
}

void ScopeWindow::closeEvent(QCloseEvent* event)
{
    m_session.finish();
    saveSettings();
    event->accept();
}

} // namespace scope
