#include "scope/RecordingOpener.h"

#include "scope/ChartPacer.h"
#include "scope/ScopeChart.h"
#include "scope/ScopeSession.h"

#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QStatusBar>

namespace scope {

namespace {

// Between drawings of a recording while it is first read, ms: each drawing
// of a growing day takes its time from the reading.
constexpr int kLoadingPaintIntervalMs = 250;

} // namespace

RecordingOpener::RecordingOpener(ScopeSession& session, ScopeChart& chart, ChartPacer& pacer, QMainWindow& window)
    : QObject(&window)
    , m_session(session)
    , m_chart(chart)
    , m_pacer(pacer)
    , m_statusBar(window.statusBar())
{
    QMenu* file = window.menuBar()->addMenu(QStringLiteral("&File"));
    QAction* open = file->addAction(QStringLiteral("&Open recording..."));
    open->setShortcut(QKeySequence::Open);
    connect(open, &QAction::triggered, this, [this, &window] {
        const QString path = QFileDialog::getOpenFileName(&window, QStringLiteral("Open a recording"), QString(),
                                                          QStringLiteral("Recordings (*.csv *.jsonl);;All files (*)"));
        if (!path.isEmpty())
            (void)this->open(path);
    });
    m_bar = new QProgressBar;
    m_bar->setAccessibleName(QStringLiteral("Reading the recording"));
    m_bar->setRange(0, 1000);   // tenths of a percent of the file's bytes
    m_bar->setMaximumWidth(200);
    m_bar->hide();
    m_statusBar->addPermanentWidget(m_bar);

    const RecordingLoader* loader = &m_session.recording();
    // The whole run's time axis as soon as its length is known; the rows fill it as they come.
    connect(loader, &RecordingLoader::spanKnown, this, [this, loader] {
        if (loader->lastRowNs() > 0)
            m_chart.showStretch(0, loader->lastRowNs());
    });
    connect(loader, &RecordingLoader::grew, this, [this, loader] {
        if (loader->atEnd() || m_pacer.sincePaintMs() >= kLoadingPaintIntervalMs)
            m_pacer.schedule();
    });
    connect(loader, &RecordingLoader::progress, this, [this, loader](qint64 bytes, qint64 total) {
        m_bar->setValue(total > 0 ? static_cast<int>(bytes * 1000 / total) : 0);
        m_statusBar->showMessage(loader->text());
    });
    connect(loader, &RecordingLoader::reachedEnd, this, [this, loader] {
        m_bar->hide();
        m_statusBar->showMessage(loader->text());
        m_pacer.paintNow();
        emit read();
    });
}

QString RecordingOpener::open(const QString& path, bool follow)
{
    const QString why = m_session.openRecording(path, follow);
    if (!why.isEmpty()) {
        (void)m_session.fail(why);
        return why;
    }
    m_chart.setLive(false);
    m_bar->setValue(0);
    m_bar->show();
    emit opened();
    return {};
}

} // namespace scope
