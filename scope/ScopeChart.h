#pragma once

// The chart: a trace for each analog channel over time, the three digital
// lines as steps in a strip below, a cursor that reads every trace at the
// pointer, and the view: live (the last window of the run, scrolling) or held
// (where the user zoomed or dragged it). What is drawn is the store reduced
// to the chart's pixel columns, minimum and maximum kept. The traces are
// drawn straight from that reduction, in whole pixels, written into the
// plot's paint buffer; the graphs QCustomPlot holds carry only the legend's
// names and colours, and each its value axis.
//
// The channel setup names the traces and scales them into their units. The
// value axes follow the units of the channels shown: one unit, the left axis;
// a second, the right axis; any more, further axes on the right, each
// labelled with its unit, so that every trace is read against its own scale
// and none is squeezed into a strip of its own.

#include "front/ChannelSetup.h"
#include "scope/Reduce.h"
#include "scope/ScanStore.h"

#include <QColor>
#include <qcustomplot.h>

#include <array>
#include <vector>

namespace scope {

// Colours told apart by colour-blind eyes (the Okabe-Ito set), then grey
// shades for the digital lines.
std::array<QColor, kSeries> defaultColours();
// A series' short name, as the legend and the channels table show it: ch0..ch6, din3..din5.
QString seriesName(int s);

class TraceLayer;
class TraceBuffer;

class ScopeChart : public QCustomPlot {
    Q_OBJECT

public:
    enum class TimeAxis { Seconds, Clock };

    explicit ScopeChart(const ScanStore& store, QWidget* parent = nullptr);

    // Seconds of the run shown in the live view; 0 for the whole run.
    void setWindowSeconds(double seconds);
    double windowSeconds() const { return m_windowSeconds; }
    void setTimeAxis(TimeAxis axis);
    TimeAxis timeAxis() const { return m_timeAxis; }
    void setFittedY(bool fitted);
    bool fittedY() const { return m_fittedY; }
    void setSeriesVisible(int series, bool visible);
    bool seriesVisible(int series) const { return m_visible[series]; }
    void setColour(int series, const QColor& colour);
    QColor colour(int series) const { return m_colours[series]; }
    // Box zoom: dragging draws a box to zoom into, instead of panning.
    void setBoxZoom(bool on);

    // Names, units and scales of the traces, and the lines' words.
    void setSetup(const front::ChannelSetup& setup);
    const front::ChannelSetup& setup() const { return m_setup; }
    // Series s as the setup names it: "boiler", "door".
    QString seriesTitle(int s) const;
    // A figure of series s (millivolts, or a line's 0 or 1) as shown: "55.35 °C", "open".
    QString figureText(int s, double raw, bool withUnit = true) const;
    // The units on the value axes, left first.
    QStringList axisUnits() const { return m_axisUnits; }

    // Live: the view follows the run; held: it stays where it is.
    void setLive(bool live);
    bool live() const { return m_live; }
    // Shows the stretch from fromNs to toNs (since the run's start) and holds it there.
    void showStretch(qint64 fromNs, qint64 toNs);
    // Zooms the time axis by factor (below 1 zooms in) about the view's centre; holds.
    void zoomBy(double factor);

    // The stretch shown, in ns since the run started.
    qint64 viewFromNs() const { return m_fromNs; }
    qint64 viewToNs() const { return m_toNs; }

    // Takes what the store holds now: reduces, sets the traces and asks for
    // a repaint. The replot itself follows in the event loop (or at once with
    // immediate, for a measurement).
    void refresh(bool immediate = false);
    const Reduction& reduction() const { return m_reduced.reduction(); }
    // Passes of the reduction so far: a refresh that changes neither the
    // view nor the scans in it draws the kept one and adds none.
    long long reductionPasses() const { return m_reduced.passes(); }
    // Off: every refresh reduces afresh (to measure what keeping saves).
    void setReductionKept(bool on) { m_reduced.setKeeping(on); }

    // The cursor at a time of the view (keys as the axis shows them); the text
    // it shows, for tests and the screen reader.
    void placeCursor(double key);
    QString cursorText() const;
    // Where point p of series s (a point of reduction()) is drawn, pixels.
    QPoint tracePixel(int s, const Point& p) const;

    // Files: the chart as drawn, and the scans in view as zoltctl's CSV rows
    // (with a setup of the user's, its values and the setup beside the file).
    bool exportPng(const QString& path);
    bool exportPdf(const QString& path);
    // Empty when written, else why not.
    QString exportCsv(const QString& path) const;

signals:
    // The stretch or its statistics changed (after each refresh).
    void refreshed();
    // The user moved the view with the mouse: it is held now.
    void heldByUser();

protected:
    void leaveEvent(QEvent* event) override;

private:
    friend class TraceLayer;
    struct TraceMap;
    // Where series s's points go on screen, worked out once a draw.
    TraceMap traceMap(int s) const;
    void drawTraces(QCPPainter* painter);
    void onRangeChanged(const QCPRange& range);
    void onMouseMove(QMouseEvent* event);
    double keyOffset() const;
    void applyYRange();
    // The value axes the units of the shown channels need, and each trace on its own.
    void arrangeAxes();
    QCPAxis* valueAxisAt(qsizetype i) const;

    const ScanStore& m_store;
    QCPAxisRect* m_digitalRect = nullptr;
    std::array<QCPGraph*, kSeries> m_graphs{};
    std::array<bool, kSeries> m_visible{};
    std::array<QColor, kSeries> m_colours{};
    front::ChannelSetup m_setup;
    QStringList m_axisUnits;                  // the unit of each value axis, left first
    std::vector<QCPAxis*> m_extraAxes;        // the third unit's axis and on, on the right
    std::array<QCPAxis*, kAnalogSeries> m_axisOf{};
    QCPItemStraightLine* m_cursorLine = nullptr;
    QCPItemText* m_cursorText = nullptr;
    KeptReduction m_reduced;
    TraceLayer* m_traces = nullptr;
    std::vector<QPoint> m_pixels;   // one trace in pixels, kept from one draw to the next
    QWeakPointer<QCPAbstractPaintBuffer> m_buffer;   // the plot's paint buffer, an image of ours
    double m_windowSeconds = 60;
    TimeAxis m_timeAxis = TimeAxis::Seconds;
    bool m_fittedY = false;
    bool m_live = true;
    bool m_settingRange = false;
    bool m_refreshQueued = false;
    qint64 m_fromNs = 0;
    qint64 m_toNs = 10'000'000'000;
    double m_cursorKey = -1;
    bool m_cursorShown = false;
    qint64 m_clockOffsetNs = 0;   // wall clock at the run's start, ns since the epoch
};

} // namespace scope
