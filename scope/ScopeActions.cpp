#include "scope/ScopeActions.h"

#include "scope/ScopeChart.h"
#include "scope/ScopeSession.h"

#include <QAction>
#include <QMainWindow>
#include <QToolBar>
#include <functional>

namespace scope {

namespace {

// The checkable actions act on being toggled, not on a click: a click, a
// shortcut and a screen reader's toggle action all toggle, while only the
// first two click. A toggle to the state things are already in (as
// follow() sets them back) asks for nothing.
void onToggled(QAction* action, std::function<bool()> now, std::function<void(bool)> want)
{
    QObject::connect(action, &QAction::toggled, action, [now = std::move(now), want = std::move(want)](bool on) {
        if (on != now())
            want(on);
    });
}

} // namespace

ScopeActions::ScopeActions(ScopeSession& session, ScopeChart& chart, QMainWindow& window)
    : QObject(&window)
    , m_chart(chart)
{
    QToolBar* bar = window.addToolBar(QStringLiteral("Main"));
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setMovable(false);
    const auto add = [&](const QString& text, const QKeySequence& key, const QString& tip) {
        auto* a = new QAction(text, &window);
        a->setShortcut(key);
        a->setToolTip(QStringLiteral("%1 (%2)").arg(tip, key.toString(QKeySequence::NativeText)));
        bar->addAction(a);
        return a;
    };
    m_start = add(QStringLiteral("Start"), QKeySequence(Qt::Key_Space), QStringLiteral("Start or stop sampling"));
    m_start->setCheckable(true);
    m_record = add(QStringLiteral("Record"), QKeySequence(Qt::CTRL | Qt::Key_R), QStringLiteral("Start or stop recording to a file"));
    m_record->setCheckable(true);
    bar->addSeparator();
    m_hold = add(QStringLiteral("Hold"), QKeySequence(Qt::Key_H), QStringLiteral("Hold the view while sampling goes on"));
    m_hold->setCheckable(true);
    m_live = add(QStringLiteral("Live"), QKeySequence(Qt::Key_End), QStringLiteral("Back to the live view"));
    QAction* zoomIn = add(QStringLiteral("Zoom in"), QKeySequence(Qt::Key_Plus), QStringLiteral("Zoom into the time axis"));
    QAction* zoomOut = add(QStringLiteral("Zoom out"), QKeySequence(Qt::Key_Minus), QStringLiteral("Zoom out of the time axis"));
    QAction* boxZoom = add(QStringLiteral("Box zoom"), QKeySequence(Qt::Key_B), QStringLiteral("Drag a box to zoom into"));
    boxZoom->setCheckable(true);
    bar->addSeparator();
    QAction* png = add(QStringLiteral("Export PNG"), QKeySequence(Qt::CTRL | Qt::Key_P), QStringLiteral("Save the chart as a PNG picture"));
    QAction* pdf = add(QStringLiteral("Export PDF"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), QStringLiteral("Save the chart as a PDF document"));
    QAction* csv = add(QStringLiteral("Export CSV"), QKeySequence(Qt::CTRL | Qt::Key_E), QStringLiteral("Save the scans in view as CSV"));
    bar->addSeparator();
    QAction* setup = add(QStringLiteral("Setup"), QKeySequence(Qt::CTRL | Qt::Key_U),
                         QStringLiteral("Names, units and scales of the channels"));
    auto* quit = new QAction(QStringLiteral("Quit"), &window);
    quit->setShortcut(QKeySequence::Quit);
    window.addAction(quit);

    onToggled(m_start, [&session] { return session.sampling(); }, [&session](bool on) {
        on ? session.startSampling() : session.stopSampling();
    });
    connect(m_record, &QAction::toggled, this, &ScopeActions::recordingWanted);
    onToggled(m_hold, [this] { return !m_chart.live(); }, [this](bool held) {
        m_chart.setLive(!held);
        emit viewChanged();
    });
    connect(m_live, &QAction::triggered, this, [this] {
        m_chart.setLive(true);
        emit viewChanged();
    });
    connect(zoomIn, &QAction::triggered, this, [this] { m_chart.zoomBy(0.5); });
    connect(zoomOut, &QAction::triggered, this, [this] { m_chart.zoomBy(2.0); });
    connect(boxZoom, &QAction::toggled, &m_chart, &ScopeChart::setBoxZoom);
    connect(png, &QAction::triggered, this, [this] { emit exportWanted(ChartExport::Kind::Png); });
    connect(pdf, &QAction::triggered, this, [this] { emit exportWanted(ChartExport::Kind::Pdf); });
    connect(csv, &QAction::triggered, this, [this] { emit exportWanted(ChartExport::Kind::Csv); });
    connect(setup, &QAction::triggered, this, &ScopeActions::setupWanted);
    connect(quit, &QAction::triggered, &window, &QWidget::close);
}

void ScopeActions::follow(const ScopeSession& session)
{
    const bool running = session.sampling();
    const bool recording = session.recorder().active();
    m_start->setChecked(running);
    m_start->setText(running ? QStringLiteral("Stop") : QStringLiteral("Start"));
    m_record->setChecked(recording);
    m_record->setText(recording ? QStringLiteral("Stop recording") : QStringLiteral("Record"));
    m_hold->setChecked(!m_chart.live());
    m_live->setEnabled(!m_chart.live());
}

} // namespace scope
