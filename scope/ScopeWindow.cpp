#include "scope/ScopeWindow.h"

#ifdef ZOLT_HAS_MQTT
#include "scope/MqttSource.h"
#include "scope/PublishedSource.h"
#endif

#include "scope/ModuleSource.h"
#include "scope/PortList.h"
#include "scope/ScopeChart.h"
#include "scope/SetupDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTableWidget>
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
// The channels' figures are refreshed at most this often.
constexpr int kStatsIntervalMs = 250;

struct WindowChoice {
    const char* label;
    double seconds;   // 0 for the whole run
};
constexpr std::array<WindowChoice, 5> kWindows{{
    {"10 s", 10}, {"1 min", 60}, {"10 min", 600}, {"1 h", 3600}, {"Whole run", 0}}};

// Source combo entries: Demo, COM1..16, a device path.
constexpr int kDemoEntry = 0;
constexpr int kDeviceEntry = 17;

QString seriesLabel(int s)
{
    if (s < kAnalogSeries)
        return QStringLiteral("Channel %1").arg(s);
    return QStringLiteral("Line %1").arg(lineOfSeries(s));
}

QString sizeText(qint64 bytes)
{
    return QLocale::system().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString clockText(qint64 ms)
{
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3").arg(s / 3600, 2, 10, QLatin1Char('0')).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

ScopeWindow::ScopeWindow(QSettings& settings, QWidget* parent)
    : QMainWindow(parent)
    , m_settings(settings)
{
    setWindowTitle(QStringLiteral("ZOLT Scope"));
    setObjectName(QStringLiteral("ScopeWindow"));
    m_chart = new ScopeChart(m_store);
    m_chart->setObjectName(QStringLiteral("chart"));
    askReplace = [this](const QString& path) {
        return QMessageBox::question(this, QStringLiteral("Replace file?"),
                                     QStringLiteral("%1 exists. Replace it?").arg(path),
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    buildActions();
    buildPanels();
    loadSettings();

    m_paintTimer.setSingleShot(true);
    m_paintTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_paintTimer, &QTimer::timeout, this, &ScopeWindow::paintNow);
    m_tick.setInterval(1000);
    connect(&m_tick, &QTimer::timeout, this, &ScopeWindow::onTick);
    m_tick.start();
    m_tickClock.start();
    m_sincePaint.start();
    m_sinceStats.start();
    connect(m_chart, &ScopeChart::refreshed, this, [this] {
        if (m_sinceStats.elapsed() >= kStatsIntervalMs) {
            m_sinceStats.restart();
            updateStats();
        }
    });
    connect(m_chart, &ScopeChart::heldByUser, this, [this] { updateControls(); });
    updateControls();
    m_chart->refresh();
    updateStats();
}

ScopeWindow::~ScopeWindow()
{
    m_recorder.stop();
    if (m_source)
        m_source->stop();
}

// ---------------------------------------------------------------- building

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

void ScopeWindow::setRecording(bool on)
{
    on ? chooseRecordFile() : stopRecording();
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
    onToggled(m_recordAction, &QAction::toggled, [this] { return m_recorder.active(); }, [this](bool on) { setRecording(on); });
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

void ScopeWindow::buildPanels()
{
    // --- Source.
    auto* sourceBox = new QGroupBox(QStringLiteral("Source"));
    auto* sourceForm = new QFormLayout(sourceBox);
    m_sourceCombo = new QComboBox;
    m_sourceCombo->setAccessibleName(QStringLiteral("Source"));
    m_devicePath = new QLineEdit;
    m_devicePath->setPlaceholderText(QStringLiteral("/dev/ttyACM0"));
    m_devicePath->setAccessibleName(QStringLiteral("Device path"));
    m_baudCombo = new QComboBox;
    m_baudCombo->addItems({QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600")});
    m_baudCombo->setAccessibleName(QStringLiteral("Baud rate"));
    m_presenceCheck = new QCheckBox(QStringLiteral("Require DSR and CTS"));
    m_presenceCheck->setAccessibleName(QStringLiteral("Require DSR and CTS"));
    auto* refresh = new QPushButton(QStringLiteral("Refresh"));
    refresh->setAccessibleName(QStringLiteral("Refresh the port list"));
    m_connectButton = new QPushButton(QStringLiteral("Connect"));
    m_connectButton->setAccessibleName(QStringLiteral("Connect"));
    m_sourceState = new QLabel;
    m_sourceState->setWordWrap(true);
    m_sourceState->setAccessibleName(QStringLiteral("Source state"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refresh);
    buttons->addWidget(m_connectButton);
    sourceForm->addRow(QStringLiteral("Port"), m_sourceCombo);
    sourceForm->addRow(QStringLiteral("Device"), m_devicePath);
    sourceForm->addRow(QStringLiteral("Baud"), m_baudCombo);
    sourceForm->addRow(m_presenceCheck);
    sourceForm->addRow(buttons);
    sourceForm->addRow(m_sourceState);
    fillPorts();

    // --- Acquisition.
    auto* acqBox = new QGroupBox(QStringLiteral("Acquisition"));
    auto* acqForm = new QFormLayout(acqBox);
    m_topChannel = new QSpinBox;
    m_topChannel->setRange(0, acquisition::kChannels - 1);
    m_topChannel->setPrefix(QStringLiteral("0 to "));
    m_topChannel->setAccessibleName(QStringLiteral("Channels, 0 to top channel"));
    m_digital = new QCheckBox(QStringLiteral("Digital lines 3 to 5"));
    m_digital->setAccessibleName(QStringLiteral("Digital lines 3 to 5"));
    m_pause = new QComboBox;
    m_pause->setEditable(true);
    m_pause->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& p : acquisition::kNamedPauses)
        m_pause->addItem(QLatin1String(p.label), p.ms);
    m_pause->setToolTip(QStringLiteral("Pause between scans: a named one or a number of ms"));
    m_pause->setAccessibleName(QStringLiteral("Pause between scans"));
    // The field typed into is a control of its own to a screen reader.
    m_pause->lineEdit()->setAccessibleName(QStringLiteral("Pause between scans"));
    m_startButton = new QPushButton(QStringLiteral("Start"));
    m_startButton->setCheckable(true);
    m_startButton->setAccessibleName(QStringLiteral("Start or stop sampling"));
    acqForm->addRow(QStringLiteral("Channels"), m_topChannel);
    acqForm->addRow(m_digital);
    acqForm->addRow(QStringLiteral("Pause"), m_pause);
    acqForm->addRow(m_startButton);

    // --- Chart.
    auto* chartBox = new QGroupBox(QStringLiteral("Chart"));
    chartBox->setAccessibleName(QStringLiteral("Chart settings"));   // "Chart" is the chart's own
    auto* chartForm = new QFormLayout(chartBox);
    m_windowCombo = new QComboBox;
    for (const auto& w : kWindows)
        m_windowCombo->addItem(QLatin1String(w.label), w.seconds);
    m_windowCombo->setAccessibleName(QStringLiteral("Time window"));
    m_timeCombo = new QComboBox;
    m_timeCombo->addItems({QStringLiteral("Seconds from start"), QStringLiteral("Clock")});
    m_timeCombo->setAccessibleName(QStringLiteral("Time axis"));
    m_yCombo = new QComboBox;
    m_yCombo->addItems({QStringLiteral("0 to 5000 mV"), QStringLiteral("Fitted")});
    m_yCombo->setAccessibleName(QStringLiteral("Millivolt axis"));
    chartForm->addRow(QStringLiteral("Window"), m_windowCombo);
    chartForm->addRow(QStringLiteral("Time"), m_timeCombo);
    chartForm->addRow(QStringLiteral("mV axis"), m_yCombo);

    // --- Outputs.
    auto* outBox = new QGroupBox(QStringLiteral("Outputs"));
    auto* outGrid = new QGridLayout(outBox);
    for (int c = 0; c < 4; ++c) {
        auto* label = new QLabel(QStringLiteral("Output %1").arg(c));
        m_outputValue[c] = new QSpinBox;
        m_outputValue[c]->setRange(0, protocol::kDacMaxMillivolts);
        m_outputValue[c]->setSuffix(QStringLiteral(" mV"));
        m_outputValue[c]->setAccessibleName(QStringLiteral("Analog output %1, millivolts").arg(c));
        label->setBuddy(m_outputValue[c]);
        m_outputSet[c] = new QPushButton(QStringLiteral("Set"));
        m_outputSet[c]->setAccessibleName(QStringLiteral("Set analog output %1").arg(c));
        outGrid->addWidget(label, c, 0);
        outGrid->addWidget(m_outputValue[c], c, 1);
        outGrid->addWidget(m_outputSet[c], c, 2);
        connect(m_outputSet[c], &QPushButton::clicked, this, [this, c] { setAnalogOutput(c, m_outputValue[c]->value()); });
        connect(m_outputValue[c], &QAbstractSpinBox::editingFinished, this, [this, c] {
            if (m_outputValue[c]->hasFocus())
                setAnalogOutput(c, m_outputValue[c]->value());
        });
    }
    m_digitalOut = new QCheckBox(QStringLiteral("Digital output (line 3) high"));
    m_digitalOut->setAccessibleName(QStringLiteral("Digital output line 3 high"));
    outGrid->addWidget(m_digitalOut, 4, 0, 1, 3);

    // --- Record.
    auto* recBox = new QGroupBox(QStringLiteral("Record"));
    auto* recForm = new QFormLayout(recBox);
    m_recordFormat = new QComboBox;
    m_recordFormat->addItems({QStringLiteral("CSV"), QStringLiteral("JSON lines")});
    m_recordFormat->setAccessibleName(QStringLiteral("Recording format"));
    m_recordButton = new QPushButton(QStringLiteral("Record..."));
    m_recordButton->setCheckable(true);
    m_recordButton->setAccessibleName(QStringLiteral("Start or stop recording"));
    m_recordState = new QLabel(QStringLiteral("Not recording"));
    m_recordState->setWordWrap(true);
    m_recordState->setAccessibleName(QStringLiteral("Recording state"));
    recForm->addRow(QStringLiteral("Format"), m_recordFormat);
    recForm->addRow(m_recordButton);
    recForm->addRow(m_recordState);

    auto* side = new QWidget;
    auto* sideLayout = new QVBoxLayout(side);
    for (QGroupBox* box : {sourceBox, acqBox, chartBox, outBox, recBox})
        sideLayout->addWidget(box);
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

    // --- The channels' figures.
    m_channels = new QTableWidget(kSeries, 6);
    m_channels->setObjectName(QStringLiteral("channels"));
    m_channels->setAccessibleName(QStringLiteral("Channels shown, with their figures over the view"));
    m_channels->setHorizontalHeaderLabels({QStringLiteral("Show"), QStringLiteral("Colour"), QStringLiteral("Min"),
                                           QStringLiteral("Max"), QStringLiteral("Mean"), QStringLiteral("Last")});
    m_channels->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_channels->setSelectionMode(QAbstractItemView::SingleSelection);
    m_channels->verticalHeader()->setVisible(false);
    for (int s = 0; s < kSeries; ++s) {
        auto* show = new QTableWidgetItem(seriesName(s));
        show->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        show->setCheckState(Qt::Checked);
        show->setData(Qt::AccessibleTextRole, QStringLiteral("Show %1").arg(seriesLabel(s)));
        m_channels->setItem(s, 0, show);
        auto* colour = new QTableWidgetItem;
        colour->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        colour->setToolTip(QStringLiteral("Double-click or press Enter to choose a colour"));
        colour->setData(Qt::AccessibleTextRole, QStringLiteral("Colour of %1").arg(seriesLabel(s)));
        m_channels->setItem(s, 1, colour);
        for (int c = 2; c < 6; ++c) {
            auto* item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            m_channels->setItem(s, c, item);
        }
    }
    m_channels->resizeColumnsToContents();
    m_channels->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_channels->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_channels->setMinimumWidth(330);

    auto* splitter = new QSplitter;
    splitter->addWidget(sideScroll);
    splitter->addWidget(centre);
    splitter->addWidget(m_channels);
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

    // --- Wiring.
    connect(refresh, &QPushButton::clicked, this, &ScopeWindow::fillPorts);
    connect(m_connectButton, &QPushButton::clicked, this, [this] { (void)connectChosen(); });
    connect(m_sourceCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { updateControls(); });
    onToggled(m_startButton, &QPushButton::toggled, [this] { return sampling(); }, [this](bool on) { setSampling(on); });
    connect(m_topChannel, qOverload<int>(&QSpinBox::valueChanged), this, &ScopeWindow::applySettings);
    connect(m_digital, &QCheckBox::toggled, this, &ScopeWindow::applySettings);
    connect(m_pause, qOverload<int>(&QComboBox::currentIndexChanged), this, &ScopeWindow::applySettings);
    connect(m_pause->lineEdit(), &QLineEdit::editingFinished, this, &ScopeWindow::applySettings);
    connect(m_windowCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { m_chart->setWindowSeconds(m_windowCombo->currentData().toDouble()); });
    connect(m_timeCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int i) {
        m_chart->setTimeAxis(i == 1 ? ScopeChart::TimeAxis::Clock : ScopeChart::TimeAxis::Seconds);
    });
    connect(m_yCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int i) { m_chart->setFittedY(i == 1); });
    connect(m_digitalOut, &QCheckBox::clicked, this, &ScopeWindow::setDigitalOutput);
    onToggled(m_recordButton, &QPushButton::toggled, [this] { return m_recorder.active(); }, [this](bool on) { setRecording(on); });
    connect(m_channels, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (item->column() == 0)
            m_chart->setSeriesVisible(item->row(), item->checkState() == Qt::Checked);
    });
    connect(m_channels, &QTableWidget::itemActivated, this, [this](QTableWidgetItem* item) {
        if (item->column() == 1)
            chooseColour(item->row());
    });
}

void ScopeWindow::fillPorts()
{
    const QVariant chosen = m_sourceCombo->currentData();
    m_sourceCombo->clear();
    m_sourceCombo->addItem(QStringLiteral("Demo (simulated module)"), QStringLiteral("demo"));
    auto* model = qobject_cast<QStandardItemModel*>(m_sourceCombo->model());
    for (const PortEntry& e : listPorts()) {
        m_sourceCombo->addItem(QStringLiteral("COM%1: %2").arg(e.port).arg(e.state), QStringLiteral("COM%1").arg(e.port));
        const int row = m_sourceCombo->count() - 1;
        m_sourceCombo->setItemData(row, QStringLiteral("%1 (%2)").arg(e.device, e.state), Qt::ToolTipRole);
        if (!e.opens && model)
            model->item(row)->setEnabled(false);
    }
    m_sourceCombo->addItem(QStringLiteral("Device path"), QStringLiteral("device"));
#ifdef ZOLT_HAS_MQTT
    // A bench on a broker: its URL goes where a device path would.
    m_sourceCombo->addItem(QStringLiteral("MQTT broker (URL)"), QStringLiteral("mqtt"));
#endif
    const int again = m_sourceCombo->findData(chosen);
    m_sourceCombo->setCurrentIndex(again >= 0 ? again : kDemoEntry);
}

// ---------------------------------------------------------------- settings

void ScopeWindow::loadSettings()
{
    QSettings& s = m_settings;
    const QString source = s.value(QStringLiteral("source/kind"), QStringLiteral("demo")).toString();
    const int at = m_sourceCombo->findData(source);
    m_sourceCombo->setCurrentIndex(at >= 0 ? at : kDemoEntry);
    m_devicePath->setText(s.value(QStringLiteral("source/device")).toString());
    m_baudCombo->setCurrentText(s.value(QStringLiteral("source/baud"), QStringLiteral("9600")).toString());
    m_presenceCheck->setChecked(s.value(QStringLiteral("source/presenceCheck"), true).toBool());
    m_topChannel->setValue(s.value(QStringLiteral("acquisition/topChannel"), 6).toInt());
    m_digital->setChecked(s.value(QStringLiteral("acquisition/digital"), true).toBool());
    const int pauseMs = s.value(QStringLiteral("acquisition/pauseMs"), acquisition::kMaxSpeedPauseMs).toInt();
    const int named = m_pause->findData(pauseMs);
    if (named >= 0)
        m_pause->setCurrentIndex(named);
    else
        m_pause->setEditText(QString::number(pauseMs));
    m_windowCombo->setCurrentIndex(std::clamp(s.value(QStringLiteral("chart/window"), 1).toInt(), 0, int(kWindows.size()) - 1));
    m_chart->setWindowSeconds(m_windowCombo->currentData().toDouble());
    m_timeCombo->setCurrentIndex(s.value(QStringLiteral("chart/clock"), false).toBool() ? 1 : 0);
    m_yCombo->setCurrentIndex(s.value(QStringLiteral("chart/fitted"), false).toBool() ? 1 : 0);
    m_recordFormat->setCurrentIndex(s.value(QStringLiteral("record/jsonl"), false).toBool() ? 1 : 0);
    if (const front::SetupRead kept = front::ChannelSetup::fromJson(s.value(QStringLiteral("setup/json")).toByteArray()); kept.setup)
        useSetup(*kept.setup);
    const std::array<QColor, kSeries> defaults = defaultColours();
    for (int k = 0; k < kSeries; ++k) {
        const QString key = QStringLiteral("series%1/").arg(k);
        const QColor c(s.value(key + QStringLiteral("colour"), defaults[k].name()).toString());
        m_chart->setColour(k, c.isValid() ? c : defaults[k]);
        m_channels->item(k, 1)->setBackground(m_chart->colour(k));
        const bool shown = s.value(key + QStringLiteral("shown"), true).toBool();
        m_channels->item(k, 0)->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
        m_chart->setSeriesVisible(k, shown);
    }
}

void ScopeWindow::saveSettings()
{
    QSettings& s = m_settings;
    s.setValue(QStringLiteral("source/kind"), m_sourceCombo->currentData());
    s.setValue(QStringLiteral("source/device"), m_devicePath->text());
    s.setValue(QStringLiteral("source/baud"), m_baudCombo->currentText());
    s.setValue(QStringLiteral("source/presenceCheck"), m_presenceCheck->isChecked());
    s.setValue(QStringLiteral("acquisition/topChannel"), m_topChannel->value());
    s.setValue(QStringLiteral("acquisition/digital"), m_digital->isChecked());
    s.setValue(QStringLiteral("acquisition/pauseMs"), chosenSettings().pauseMs);
    s.setValue(QStringLiteral("chart/window"), m_windowCombo->currentIndex());
    s.setValue(QStringLiteral("chart/clock"), m_timeCombo->currentIndex() == 1);
    s.setValue(QStringLiteral("chart/fitted"), m_yCombo->currentIndex() == 1);
    s.setValue(QStringLiteral("record/jsonl"), m_recordFormat->currentIndex() == 1);
    s.setValue(QStringLiteral("setup/json"), m_setup.toJson());
    for (int k = 0; k < kSeries; ++k) {
        const QString key = QStringLiteral("series%1/").arg(k);
        s.setValue(key + QStringLiteral("colour"), m_chart->colour(k).name());
        s.setValue(key + QStringLiteral("shown"), m_chart->seriesVisible(k));
    }
    s.sync();
}

acquisition::Settings ScopeWindow::chosenSettings() const
{
    acquisition::Settings st;
    st.topChannel = m_topChannel->value();
    st.digital = m_digital->isChecked();
    const QString text = m_pause->currentText().trimmed();
    const int named = m_pause->findText(text);
    if (named >= 0) {
        st.pauseMs = m_pause->itemData(named).toInt();
    } else {
        QString digits = text;
        if (digits.endsWith(QLatin1String("ms")))
            digits.chop(2);
        bool ok = false;
        const int ms = digits.trimmed().toInt(&ok);
        st.pauseMs = ok ? std::clamp(ms, acquisition::kShortestPauseMs, acquisition::kLongestPauseMs) : 500;
    }
    return st;
}

void ScopeWindow::applySettings()
{
    if (m_source)
        m_source->setSettings(chosenSettings());
#ifdef ZOLT_HAS_MQTT
    if (auto* published = qobject_cast<PublishedSource*>(m_published.get()))
        published->setSettings(chosenSettings());
#endif
    updateControls();
}

// ---------------------------------------------------------------- source

QString ScopeWindow::connectChosen()
{
    zoltctl::LinkOptions link;
    const QString kind = m_sourceCombo->currentData().toString();
    if (kind == QLatin1String("mqtt")) {
        zoltctl::MqttOptions options;
        const mqtt::UrlParse url = mqtt::parseUrl(m_devicePath->text().trimmed());
        if (!url.endpoint) {
            showProblem(url.error);
            return m_problem;
        }
        options.enabled = true;
        options.endpoint = *url.endpoint;
        return connectToBroker(options);
    }
    if (kind == QLatin1String("demo"))
        link.simulate = true;
    else if (kind == QLatin1String("device"))
        link.device = m_devicePath->text().trimmed();
    else
        link.port = zoltctl::parseComPort(kind).value_or(0);
    if (kind == QLatin1String("device") && link.device.isEmpty()) {
        showProblem(QStringLiteral("Type the device's path first."));
        return m_problem;
    }
    link.baud = m_baudCombo->currentText().toInt();
    link.presenceCheck = m_presenceCheck->isChecked();
    return connectTo(link);
}

QString ScopeWindow::connectTo(const zoltctl::LinkOptions& link)
{
    // Show the choice the options make, so that it is remembered.
    if (link.simulate)
        m_sourceCombo->setCurrentIndex(kDemoEntry);
    else if (!link.device.isEmpty()) {
        m_sourceCombo->setCurrentIndex(m_sourceCombo->findData(QStringLiteral("device")));
        m_devicePath->setText(link.device);
    } else if (link.port != 0) {
        const int at = m_sourceCombo->findData(QStringLiteral("COM%1").arg(link.port));
        if (at >= 0)
            m_sourceCombo->setCurrentIndex(at);
    }
    m_baudCombo->setCurrentText(QString::number(link.baud));
    m_presenceCheck->setChecked(link.presenceCheck);

    stopSampling();
    m_source.reset();
    auto source = std::make_unique<ModuleSource>(link);
    const QString why = source->open();
    if (!why.isEmpty()) {
        showProblem(why);
        updateControls();
        return why;
    }
    useSource(std::move(source));
    return {};
}

QString ScopeWindow::connectToBroker(const zoltctl::MqttOptions& options)
{
#ifdef ZOLT_HAS_MQTT
    const int at = m_sourceCombo->findData(QStringLiteral("mqtt"));
    if (at >= 0)
        m_sourceCombo->setCurrentIndex(at);
    auto url = QStringLiteral("%1://%2%3:%4/%5")
                   .arg(QLatin1String(options.endpoint.tls ? "mqtts" : "mqtt"),
                        options.endpoint.user.isEmpty() ? QString() : options.endpoint.user + u'@', options.endpoint.host)
                   .arg(options.endpoint.port)
                   .arg(options.endpoint.prefix);
    m_devicePath->setText(url);
    stopSampling();
    m_published.reset();
    m_source.reset();
    auto source = std::make_unique<MqttSource>(options);
    const QString why = source->open();
    if (!why.isEmpty()) {
        showProblem(why);
        updateControls();
        return why;
    }
    // The outputs panel follows what the bench's meta says it takes.
    connect(source->bench(), &zoltctl::RemoteBench::metaChanged, this, &ScopeWindow::updateControls);
    // The bench's names and units, when it publishes a setup.
    connect(source->bench(), &zoltctl::RemoteBench::metaChanged, this, [this, bench = source->bench()] {
        if (bench->meta() && bench->meta()->setup)
            useSetup(*bench->meta()->setup);
    });
    useSource(std::move(source));
    return {};
#else
    (void)options;
    showProblem(QStringLiteral("This ZOLT Scope was built without MQTT (libmosquitto)."));
    return m_problem;
#endif
}

QString ScopeWindow::publishTo(const zoltctl::MqttOptions& options)
{
#ifdef ZOLT_HAS_MQTT
    if (!m_source)
        return QStringLiteral("connect to a module first");
    if (qobject_cast<MqttSource*>(m_source.get()))
        return QStringLiteral("this bench is on the broker already");
    std::unique_ptr<PublishedSource> published;
    const QString why = PublishedSource::start(*m_source, options, chosenSettings(), m_baudCombo->currentText().toInt(),
                                               givenSetup(), published);
    if (!why.isEmpty()) {
        showProblem(why);
        return why;
    }
    m_published = std::move(published);
    statusBar()->showMessage(QStringLiteral("Publishing on %1").arg(options.endpoint.host), 10000);
    return {};
#else
    (void)options;
    return QStringLiteral("this ZOLT Scope was built without MQTT (libmosquitto)");
#endif
}

void ScopeWindow::useSource(std::unique_ptr<ScanSource> source)
{
    stopSampling();
    m_published.reset();
    m_source = std::move(source);
    m_problem.clear();
    m_waitingFor.clear();
    connect(m_source.get(), &ScanSource::scanned, this, &ScopeWindow::onScanned);
    connect(m_source.get(), &ScanSource::lost, this, &ScopeWindow::onLost);
    connect(m_source.get(), &ScanSource::returned, this, &ScopeWindow::onReturned);
    connect(m_source.get(), &ScanSource::ended, this, &ScopeWindow::stopSampling);
    connect(m_source.get(), &ScanSource::outputSent, this, &ScopeWindow::showOutput);
    m_source->setSettings(chosenSettings());
    // A long device path is shortened in the middle; the tooltip has it whole.
    const QString connected = QStringLiteral("Connected: %1").arg(m_source->label());
    m_sourceState->setText(m_sourceState->fontMetrics().elidedText(connected, Qt::ElideMiddle, 280));
    m_sourceState->setToolTip(connected);
    updateControls();
}

void ScopeWindow::showProblem(const QString& text)
{
    m_problem = text;
    m_sourceState->setText(text);
    statusBar()->showMessage(text, 10000);
}

// ---------------------------------------------------------------- sampling

bool ScopeWindow::sampling() const { return m_source && m_source->running(); }

void ScopeWindow::startSampling()
{
    if (!m_source) {
        if (!connectChosen().isEmpty()) {
            updateControls();
            return;
        }
    }
    if (sampling())
        return;
    // A new run: its scans start from 1 and from time 0.
    m_store.clear();
    m_runScans = 0;
    m_scansAtTick = 0;
    m_rate = 0;
    m_tickClock.restart();
    m_source->setSettings(chosenSettings());
    m_source->start();
    m_chart->setLive(true);
    updateControls();
}

void ScopeWindow::stopSampling()
{
    if (m_source && m_source->running())
        m_source->stop();
    m_waitingFor.clear();
    m_banner->hide();
    m_chart->refresh();
    // The figures of the last scans at once: refreshes while sampling update
    // them at most every kStatsIntervalMs, and nothing else comes to do it.
    updateStats();
    updateControls();
}

void ScopeWindow::onScanned(const acquisition::Scan& scan)
{
    m_store.append(scan);
    ++m_runScans;
    if (m_recorder.active() && !m_recorder.write(scan)) {
        statusBar()->showMessage(m_recorder.error(), 15000);
        updateControls();
    }
    schedulePaint();
}

void ScopeWindow::onLost(const QString& what)
{
    m_waitingFor = what;
    m_banner->setText(QStringLiteral("Waiting for %1 to return; sampling goes on by itself when it does.").arg(what));
    m_banner->show();
    updateControls();
}

void ScopeWindow::onReturned()
{
    m_waitingFor.clear();
    m_banner->hide();
    statusBar()->showMessage(QStringLiteral("%1 is back; sampling goes on.").arg(m_source ? m_source->label() : QString()), 5000);
    updateControls();
}

QString ScopeWindow::bannerText() const { return m_banner->isVisible() || !m_waitingFor.isEmpty() ? m_banner->text() : QString(); }

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
    if (m_chart->live() || m_store.size() == 0 || m_chart->viewToNs() >= m_store.elapsedNs(std::max(0LL, m_store.size() - 2)))
        m_chart->refresh();
}

// ---------------------------------------------------------------- outputs

void ScopeWindow::setAnalogOutput(int channel, int millivolts)
{
    if (!m_source || !m_source->drivesOutputs())
        return;
    m_source->setAnalogOutput(channel, millivolts);
    // The panel shows what was last set, however it was asked for.
    if (channel >= 0 && channel < int(m_outputValue.size()))
        m_outputValue[static_cast<std::size_t>(channel)]->setValue(millivolts);
    statusBar()->showMessage(QStringLiteral("Output %1 set to %2 mV").arg(channel).arg(millivolts), 3000);
}

void ScopeWindow::showOutput(int channel, int value)
{
    // Sent, whoever asked: this window, or another program through the
    // broker while this window publishes. A field being typed in is left be.
    if (channel < 0) {
        m_digitalOut->setChecked(value != 0);   // "clicked" comes from the user only
        return;
    }
    if (channel < int(m_outputValue.size()) && !m_outputValue[static_cast<std::size_t>(channel)]->hasFocus())
        m_outputValue[static_cast<std::size_t>(channel)]->setValue(value);
}

void ScopeWindow::setDigitalOutput(bool high)
{
    if (!m_source || !m_source->drivesOutputs())
        return;
    m_source->setDigitalOutput(high);
    m_digitalOut->setChecked(high);
}

// ---------------------------------------------------------------- recording

QString ScopeWindow::startRecording(const QString& path, zoltctl::Format format, bool replace)
{
    const acquisition::Settings st = chosenSettings();
    const std::optional<front::ChannelSetup> setup = givenSetup();
    const front::ChannelSetup* scaled = setup ? &*setup : nullptr;
    Recorder::Opened opened = m_recorder.start(path, format, st.topChannel, st.digital, replace, scaled);
    if (opened == Recorder::Opened::Exists) {
        if (!askReplace || !askReplace(path))
            return QStringLiteral("%1 exists and was kept").arg(path);
        opened = m_recorder.start(path, format, st.topChannel, st.digital, true, scaled);
    }
    if (opened != Recorder::Opened::Ok) {
        statusBar()->showMessage(m_recorder.error(), 15000);
        updateControls();
        return m_recorder.error();
    }
    m_recordFormat->setCurrentIndex(format == zoltctl::Format::Jsonl ? 1 : 0);
    if (!sampling())
        startSampling();
    updateControls();
    return {};
}

void ScopeWindow::stopRecording()
{
    m_recorder.stop();
    updateControls();
}

void ScopeWindow::chooseRecordFile()
{
    const bool jsonl = m_recordFormat->currentIndex() == 1;
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Record to"), jsonl ? QStringLiteral("run.jsonl") : QStringLiteral("run.csv"),
        jsonl ? QStringLiteral("JSON lines (*.jsonl)") : QStringLiteral("CSV (*.csv)"), nullptr,
        QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        (void)startRecording(path, jsonl ? zoltctl::Format::Jsonl : zoltctl::Format::Csv);
    updateControls();
}

// ---------------------------------------------------------------- export, colours

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

void ScopeWindow::chooseColour(int series)
{
    const QColor c = QColorDialog::getColor(m_chart->colour(series), this, QStringLiteral("Colour of %1").arg(seriesLabel(series)));
    if (!c.isValid())
        return;
    m_chart->setColour(series, c);
    m_channels->item(series, 1)->setBackground(c);
}

// ---------------------------------------------------------------- channel setup

std::optional<front::ChannelSetup> ScopeWindow::givenSetup() const
{
    return m_setup.isDefault() ? std::nullopt : std::optional(m_setup);
}

void ScopeWindow::useSetup(const front::ChannelSetup& setup)
{
    m_setup = setup;
    m_chart->setSetup(setup);
    for (int s = 0; s < kSeries; ++s)
        m_channels->item(s, 0)->setText(m_chart->seriesTitle(s));
#ifdef ZOLT_HAS_MQTT
    if (auto* published = qobject_cast<PublishedSource*>(m_published.get()))
        published->setSetup(givenSetup());
#endif
    updateStats();
}

void ScopeWindow::editSetup()
{
    // The calibration assistant takes an input's latest reading from the store.
    SetupDialog dialog(m_setup, [this](int input) -> std::optional<double> {
        const long long last = m_store.size() - 1;
        if (last < 0 || !m_store.valid(last, input))
            return std::nullopt;
        return m_store.millivolts(last, input);
    }, this);
    if (dialog.exec() == QDialog::Accepted) {
        if (const auto setup = dialog.setup())
            useSetup(*setup);
    }
}

// ---------------------------------------------------------------- figures

void ScopeWindow::onTick()
{
    const qint64 ms = m_tickClock.restart();
    if (ms > 0)
        m_rate = static_cast<double>(m_runScans - m_scansAtTick) * 1000.0 / static_cast<double>(ms);
    m_scansAtTick = m_runScans;
    if (m_recorder.active() && !m_recorder.checkFile())
        statusBar()->showMessage(m_recorder.error(), 15000);
    if (!sampling())
        m_rate = 0;
    updateControls();
    updateStats();
}

QString ScopeWindow::statusText() const
{
    return QStringList{m_rateLabel->text(), m_missedLabel->text(), m_portLabel->text(), m_keptLabel->text()}.join(QLatin1String(" | "));
}

void ScopeWindow::updateStats()
{
    const Reduction& r = m_chart->reduction();
    QStringList description;
    for (int s = 0; s < kSeries; ++s) {
        const SeriesStats& st = r.stats[s];
        const bool has = m_chart->seriesVisible(s) && st.n > 0;
        const bool analog = s < kAnalogSeries;
        const auto put = [&](int col, const QString& text) {
            QTableWidgetItem* item = m_channels->item(s, col);
            if (item->text() != text)
                item->setText(text);
        };
        // In the setup's units (the lines' minimum, maximum and last in its words).
        const ScopeChart& c = *m_chart;
        put(2, has ? c.figureText(s, st.min, false) : QString());
        put(3, has ? c.figureText(s, st.max, false) : QString());
        put(4, has ? (analog ? QString::number(m_setup.value(s, st.mean), 'f', m_setup.decimals(s) + 1)
                             : QString::number(st.mean, 'f', 2))
                   : QString());
        put(5, has ? c.figureText(s, st.last, false) : QString());
        if (has) {
            // "Channel 2: ..." as before; the setup's name after it when it has one of its own.
            const QString title = c.seriesTitle(s);
            const QString label = title == seriesName(s) ? seriesLabel(s) : seriesLabel(s) + QStringLiteral(", ") + title;
            description << QStringLiteral("%1: last %2, minimum %3, maximum %4")
                               .arg(label, c.figureText(s, st.last), c.figureText(s, st.min), c.figureText(s, st.max));
        }
    }
    const QString text = description.isEmpty() ? QStringLiteral("No scans in view") : description.join(QLatin1String("; "));
    if (m_chart->accessibleDescription() != text)
        m_chart->setAccessibleDescription(text);
}

void ScopeWindow::updateControls()
{
    const bool running = sampling();
    const bool recording = m_recorder.active();
    m_startAction->setChecked(running);
    m_startAction->setText(running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    m_startButton->setChecked(running);
    m_startButton->setText(running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    m_recordAction->setChecked(recording);
    m_recordAction->setText(recording ? QStringLiteral("Stop recording") : QStringLiteral("Record"));
    m_recordButton->setChecked(recording);
    m_recordButton->setText(recording ? QStringLiteral("Stop recording") : QStringLiteral("Record..."));
    m_holdAction->setChecked(!m_chart->live());
    m_liveAction->setEnabled(!m_chart->live());

    // The source is chosen while nothing runs; the columns of a file stay as they began.
    for (QWidget* w : std::initializer_list<QWidget*>{m_sourceCombo, m_baudCombo, m_presenceCheck, m_connectButton})
        w->setEnabled(!running);
    const QString kind = m_sourceCombo->currentData().toString();
    m_devicePath->setEnabled(!running && (kind == QLatin1String("device") || kind == QLatin1String("mqtt")));
    const bool broker = kind == QLatin1String("mqtt");
    m_devicePath->setPlaceholderText(broker ? QStringLiteral("mqtt://HOST/PREFIX") : QStringLiteral("/dev/ttyACM0"));
    m_devicePath->setAccessibleName(broker ? QStringLiteral("Broker URL") : QStringLiteral("Device path"));
    m_topChannel->setEnabled(!recording);
    m_digital->setEnabled(!recording);
    m_recordFormat->setEnabled(!recording);
    const bool outputs = m_source && m_source->drivesOutputs();
    for (int c = 0; c < 4; ++c) {
        m_outputValue[c]->setEnabled(outputs);
        m_outputSet[c]->setEnabled(outputs);
    }
    m_digitalOut->setEnabled(outputs);

    if (recording) {
        m_recordState->setStyleSheet(QStringLiteral("QLabel { color: #b00000; font-weight: bold; }"));
        m_recordState->setText(QStringLiteral("\u25CF REC %1, %2 rows, %3\n%4")
                                   .arg(clockText(m_recorder.elapsedMs()))
                                   .arg(QLocale::system().toString(m_recorder.rows()))
                                   .arg(sizeText(m_recorder.bytes()), m_recorder.path()));
    } else if (!m_recorder.error().isEmpty()) {
        m_recordState->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
        m_recordState->setText(m_recorder.error());
    } else {
        m_recordState->setStyleSheet(QString());
        m_recordState->setText(QStringLiteral("Not recording"));
    }

    const acquisition::Settings st = chosenSettings();
    const double limit = m_source ? m_source->limitScansPerSecond(st) : 0;
    m_rateLabel->setText(limit > 0 ? QStringLiteral("%1 scans/s of %2 the line allows").arg(m_rate, 0, 'f', 1).arg(limit, 0, 'f', 1)
                                   : QStringLiteral("%1 scans/s").arg(m_rate, 0, 'f', 1));
    m_missedLabel->setText(QStringLiteral("%1 replies missed").arg(m_source ? m_source->missedReplies() : 0));
    if (!m_source)
        m_portLabel->setText(m_problem.isEmpty() ? QStringLiteral("not connected") : QStringLiteral("not connected: ") + m_problem);
    else if (!m_waitingFor.isEmpty())
        m_portLabel->setText(QStringLiteral("%1: lost, waiting").arg(m_waitingFor));
    else
        m_portLabel->setText(QStringLiteral("%1: %2").arg(m_source->label(), running ? QStringLiteral("sampling") : QStringLiteral("open")));
    QString kept = QStringLiteral("%1 scans kept").arg(QLocale::system().toString(m_store.size()));
    if (m_store.dropped() > 0)
        kept += QStringLiteral(" (limit reached: the oldest %1 dropped)").arg(QLocale::system().toString(m_store.dropped()));
    m_keptLabel->setText(kept);
}

void ScopeWindow::closeEvent(QCloseEvent* event)
{
    // A recording ends whole: the row in hand is already written.
    m_recorder.stop();
    if (m_source)
        m_source->stop();
    saveSettings();
    event->accept();
}

} // namespace scope
