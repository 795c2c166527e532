#include "scope/ScopeChart.h"

#include "front/RowFormat.h"

#include <QFile>
#include <algorithm>
#include <cmath>
#include <map>

namespace scope {

namespace {

constexpr double kNsPerSecond = 1e9;
// The digital strip draws line n (0..2) between n * kLinePitch and that plus 1.
constexpr double kLinePitch = 1.5;

QPen tracePen(const QColor& colour)
{
    QPen pen(colour, 1);
    pen.setCosmetic(true);
    return pen;
}

} // namespace

// Draws the chart's traces where QCustomPlot draws its plottables, between
// the grid and the axes.
class TraceLayer : public QCPLayerable {
public:
    explicit TraceLayer(ScopeChart* chart)
        : QCPLayerable(chart, QStringLiteral("main"))
        , m_chart(chart)
    {
    }

protected:
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override
    {
        applyAntialiasingHint(painter, false, QCP::aePlottables);
    }
    void draw(QCPPainter* painter) override { m_chart->drawTraces(painter); }

private:
    ScopeChart* m_chart;
};

// The plot's paint buffer as an image, so that the traces can be written
// into its pixels: a noisy trace of a day has some 20 pixels a column to
// draw, and QPainter's one-pixel lines cost a call a pixel. Everything
// else is painted into it as into QCustomPlot's own buffer.
class TraceBuffer : public QCPAbstractPaintBuffer {
public:
    TraceBuffer(const QSize& size, double devicePixelRatio)
        : QCPAbstractPaintBuffer(size, devicePixelRatio)
    {
        TraceBuffer::reallocateBuffer();
    }
    QCPPainter* startPainting() override { return new QCPPainter(&m_image); }
    void draw(QCPPainter* painter) const override
    {
        if (painter && painter->isActive())
            painter->drawImage(0, 0, m_image);
    }
    void clear(const QColor& colour) override { m_image.fill(colour); }
    // The image's pixels, for a painter on it that paints at one pixel a unit.
    bool owns(const QCPPainter* painter) const
    {
        return painter->device() == &m_image && m_image.devicePixelRatio() == 1.0 && painter->transform().isIdentity();
    }
    QImage& image() { return m_image; }

protected:
    void reallocateBuffer() override
    {
        m_image = QImage(mSize * mDevicePixelRatio, QImage::Format_ARGB32_Premultiplied);
        m_image.setDevicePixelRatio(mDevicePixelRatio);
    }

private:
    QImage m_image;
};

namespace {

// An image's pixels, 32 bits each.
struct Pixels {
    uchar* bits;
    qsizetype stride;   // bytes a row
};

// A one-pixel line from a to b in whole pixels, set within clip (inside the
// image): stepping along its longer extent, one pixel a step, the other
// coordinate in fixed point (32 bits of fraction). Only the steps inside
// clip are taken, so a segment reaching far out of view costs no more than
// one inside it.

void setLine(const Pixels& image, QRgb colour, QPoint a, QPoint b, const QRect& clip)
{
    const qint64 dx = b.x() - a.x();
    const qint64 dy = b.y() - a.y();
    const auto set = [&](int x, int y) { reinterpret_cast<QRgb*>(image.bits + y * image.stride)[x] = colour; };
    if (dx == 0 && dy == 0) {
        if (clip.contains(a))
            set(a.x(), a.y());
        return;
    }
    const bool steep = std::llabs(dy) >= std::llabs(dx);
    // Along the long axis (u) from the lower end; v the other coordinate.
    qint64 u0 = steep ? a.y() : a.x();
    qint64 u1 = steep ? b.y() : b.x();
    qint64 v0 = steep ? a.x() : a.y();
    qint64 du = steep ? dy : dx;
    qint64 dv = steep ? dx : dy;
    if (u1 < u0) {
        std::swap(u0, u1);
        v0 = steep ? b.x() : b.y();
        du = -du;
        dv = -dv;
    }
    const qint64 uLow = std::max<qint64>(u0, steep ? clip.top() : clip.left());
    const qint64 uHigh = std::min<qint64>(u1, steep ? clip.bottom() : clip.right());
    const qint64 vLow = steep ? clip.left() : clip.top();
    const qint64 vHigh = steep ? clip.right() : clip.bottom();
    const qint64 step = (dv * (qint64{1} << 32)) / du;
    qint64 v = (v0 << 32) + (qint64{1} << 31) + (uLow - u0) * step;
    for (qint64 u = uLow; u <= uHigh; ++u, v += step) {
        const qint64 at = v >> 32;
        if (at < vLow || at > vHigh)
            continue;
        if (steep)
            set(static_cast<int>(at), static_cast<int>(u));
        else
            set(static_cast<int>(u), static_cast<int>(at));
    }
}

} // namespace

QString seriesName(int s)
{
    return s < kAnalogSeries ? QStringLiteral("ch%1").arg(s) : QStringLiteral("din%1").arg(lineOfSeries(s));
}

std::array<QColor, kSeries> defaultColours()
{
    return {QColor(0x00, 0x72, 0xB2), QColor(0xE6, 0x9F, 0x00), QColor(0x00, 0x9E, 0x73), QColor(0xD5, 0x5E, 0x00),
            QColor(0xCC, 0x79, 0xA7), QColor(0x56, 0xB4, 0xE9), QColor(0x00, 0x00, 0x00), QColor(0x33, 0x33, 0x33),
            QColor(0x66, 0x66, 0x66), QColor(0x99, 0x99, 0x99)};
}

ScopeChart::ScopeChart(const ScanStore& store, QWidget* parent)
    : QCustomPlot(parent)
    , m_store(store)
    , m_colours(defaultColours())
{
    m_visible.fill(true);
    setAccessibleName(QStringLiteral("Chart"));
    // Thin polylines without antialiasing: the traces are reduced to two
    // points a pixel column, and drawn this way they cost little. Each trace
    // goes to the painter as one polyline: QCustomPlot's "fast polylines"
    // hint draws it segment by segment instead, which with Qt 6's cosmetic
    // pens took twice as long (measured with bench/zolt_scope_bench).
    setNotAntialiasedElements(QCP::aePlottables);
    setPlottingHint(QCP::phFastPolylines, false);
    // One paint buffer for every layer: a second one for the overlay (where
    // only the zoom box is drawn) costs a full-size clear and blend a replot.
    if (QCPLayer* overlay = layer(QStringLiteral("overlay")))
        overlay->setMode(QCPLayer::lmLogical);
    // That buffer an image whose pixels the traces are written into.
    mPaintBuffers.clear();
    mPaintBuffers.append(QSharedPointer<QCPAbstractPaintBuffer>(new TraceBuffer(viewport().size(), bufferDevicePixelRatio())));
    m_buffer = mPaintBuffers.constFirst().toWeakRef();
    setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    setMouseTracking(true);

    QCPAxisRect* main = axisRect();
    main->setRangeDrag(Qt::Horizontal);
    main->setRangeZoom(Qt::Horizontal);
    xAxis->setLabel(QStringLiteral("time since start, s"));
    yAxis->setLabel(QStringLiteral("mV"));
    yAxis->setRange(0, 5000);

    m_digitalRect = new QCPAxisRect(this);
    plotLayout()->addElement(1, 0, m_digitalRect);
    m_digitalRect->setRangeDrag(Qt::Horizontal);
    m_digitalRect->setRangeZoom(Qt::Horizontal);
    auto* group = new QCPMarginGroup(this);
    main->setMarginGroup(QCP::msLeft | QCP::msRight, group);
    m_digitalRect->setMarginGroup(QCP::msLeft | QCP::msRight, group);
    QCPAxis* dy = m_digitalRect->axis(QCPAxis::atLeft);
    dy->setRange(-0.3, 2 * kLinePitch + 1.3);
    auto lineTicks = QSharedPointer<QCPAxisTickerText>::create();
    for (int l = 0; l < acquisition::kDigitalLines; ++l)
        lineTicks->addTick(l * kLinePitch + 0.5, seriesName(kAnalogSeries + l));
    dy->setTicker(lineTicks);
    QCPAxis* dx = m_digitalRect->axis(QCPAxis::atBottom);
    dx->setTickLabels(false);
    // The strip's time axis follows the main one.
    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), dx, qOverload<const QCPRange&>(&QCPAxis::setRange));
    connect(dx, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), xAxis, qOverload<const QCPRange&>(&QCPAxis::setRange));
    connect(xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, &ScopeChart::onRangeChanged);

    m_axisOf.fill(yAxis);
    for (int s = 0; s < kSeries; ++s) {
        QCPGraph* g = s < kAnalogSeries ? addGraph(xAxis, yAxis) : addGraph(dx, dy);
        g->setName(seriesName(s));
        g->setPen(tracePen(m_colours[s]));
        g->setAdaptiveSampling(false);   // the reduction has done it
        if (s >= kAnalogSeries) {
            g->setLineStyle(QCPGraph::lsStepLeft);
            g->removeFromLegend();
        }
        m_graphs[s] = g;
    }
    m_traces = new TraceLayer(this);

    // The legend in a row of its own above the plot, where it hides no trace.
    legend->setVisible(true);
    legend->setFont(QFont(font().family(), 8));
    legend->setBorderPen(Qt::NoPen);
    legend->setFillOrder(QCPLegend::foColumnsFirst);
    main->insetLayout()->take(legend);
    plotLayout()->insertRow(0);
    plotLayout()->addElement(0, 0, legend);
    plotLayout()->setRowStretchFactors({0.001, 5.0, 1.2});
    plotLayout()->setRowSpacing(0);

    m_cursorLine = new QCPItemStraightLine(this);
    m_cursorLine->setClipAxisRect(main);
    m_cursorLine->setPen(QPen(Qt::gray, 1, Qt::DashLine));
    m_cursorLine->setVisible(false);
    m_cursorText = new QCPItemText(this);
    m_cursorText->setClipToAxisRect(false);
    m_cursorText->position->setType(QCPItemPosition::ptAxisRectRatio);
    m_cursorText->position->setAxisRect(main);
    m_cursorText->position->setCoords(1.0, 0.0);
    m_cursorText->setPositionAlignment(Qt::AlignTop | Qt::AlignRight);
    m_cursorText->setTextAlignment(Qt::AlignLeft);
    m_cursorText->setBrush(QColor(255, 255, 255, 220));
    m_cursorText->setPadding(QMargins(4, 2, 4, 2));
    m_cursorText->setVisible(false);

    connect(this, &QCustomPlot::mouseMove, this, &ScopeChart::onMouseMove);
}

void ScopeChart::setWindowSeconds(double seconds)
{
    m_windowSeconds = std::max(0.0, seconds);
    refresh();
}

void ScopeChart::setTimeAxis(TimeAxis axis)
{
    if (axis == m_timeAxis)
        return;
    m_timeAxis = axis;
    if (axis == TimeAxis::Clock) {
        auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
        ticker->setDateTimeFormat(QStringLiteral("hh:mm:ss"));
        ticker->setDateTimeSpec(Qt::LocalTime);
        xAxis->setTicker(ticker);
        xAxis->setLabel(QStringLiteral("time of day"));
    } else {
        xAxis->setTicker(QSharedPointer<QCPAxisTicker>::create());
        xAxis->setLabel(QStringLiteral("time since start, s"));
    }
    refresh();
}

void ScopeChart::setFittedY(bool fitted)
{
    m_fittedY = fitted;
    refresh();
}

void ScopeChart::setSeriesVisible(int series, bool visible)
{
    m_visible[series] = visible;
    m_graphs[series]->setVisible(visible);
    if (series < kAnalogSeries) {
        if (visible)
            m_graphs[series]->addToLegend();
        else
            m_graphs[series]->removeFromLegend();
    }
    refresh();
}

void ScopeChart::setColour(int series, const QColor& colour)
{
    m_colours[series] = colour;
    m_graphs[series]->setPen(tracePen(colour));
    replot(rpQueuedReplot);
}

void ScopeChart::setSetup(const front::ChannelSetup& setup)
{
    m_setup = setup;
    for (int s = 0; s < kSeries; ++s)
        m_graphs[s]->setName(seriesTitle(s));
    auto lineTicks = QSharedPointer<QCPAxisTickerText>::create();
    for (int l = 0; l < acquisition::kDigitalLines; ++l)
        lineTicks->addTick(l * kLinePitch + 0.5, seriesTitle(kAnalogSeries + l));
    m_digitalRect->axis(QCPAxis::atLeft)->setTicker(lineTicks);
    refresh();
}

QString ScopeChart::seriesTitle(int s) const
{
    return s < kAnalogSeries ? m_setup.input(s).name : m_setup.line(lineOfSeries(s)).name;
}

QString ScopeChart::figureText(int s, double raw, bool withUnit) const
{
    if (s >= kAnalogSeries)
        return m_setup.line(lineOfSeries(s)).word(raw != 0 ? 1 : 0);
    return withUnit ? m_setup.valueText(s, raw) : m_setup.numberText(s, raw);
}

QCPAxis* ScopeChart::valueAxisAt(qsizetype i) const
{
    return i == 0 ? yAxis : i == 1 ? yAxis2 : m_extraAxes[static_cast<std::size_t>(i - 2)];
}

void ScopeChart::arrangeAxes()
{
    QStringList units;
    for (int s = 0; s < kAnalogSeries; ++s) {
        if (m_visible[s] && !units.contains(m_setup.input(s).unit))
            units += m_setup.input(s).unit;
    }
    if (units.isEmpty())
        units += m_setup.input(0).unit;
    if (units == m_axisUnits)
        return;
    m_axisUnits = units;
    QCPAxisRect* main = axisRect();
    // Axes beyond the two a rect has are made for a third unit and dropped with it.
    while (static_cast<qsizetype>(m_extraAxes.size()) > units.size() - 2 && !m_extraAxes.empty()) {
        for (int s = 0; s < kAnalogSeries; ++s) {
            if (m_graphs[s]->valueAxis() == m_extraAxes.back())
                m_graphs[s]->setValueAxis(yAxis);
        }
        main->removeAxis(m_extraAxes.back());
        m_extraAxes.pop_back();
    }
    while (static_cast<qsizetype>(m_extraAxes.size()) < units.size() - 2)
        m_extraAxes.push_back(main->addAxis(QCPAxis::atRight));
    for (qsizetype i = 0; i < units.size(); ++i)
        valueAxisAt(i)->setLabel(units[i].isEmpty() ? QStringLiteral("(no unit)") : units[i]);
    yAxis2->setVisible(units.size() > 1);
    for (int s = 0; s < kAnalogSeries; ++s) {
        const qsizetype at = units.indexOf(m_setup.input(s).unit);
        m_axisOf[s] = valueAxisAt(at < 0 ? 0 : at);
        m_graphs[s]->setValueAxis(m_axisOf[s]);
    }
}

void ScopeChart::setBoxZoom(bool on)
{
    setSelectionRectMode(on ? QCP::srmZoom : QCP::srmNone);
}

void ScopeChart::setLive(bool live)
{
    m_live = live;
    refresh();
}

void ScopeChart::showStretch(qint64 fromNs, qint64 toNs)
{
    m_fromNs = fromNs;
    m_toNs = std::max(toNs, fromNs + 1'000'000);
    m_live = false;
    refresh();
}

void ScopeChart::zoomBy(double factor)
{
    const qint64 centre = m_fromNs / 2 + m_toNs / 2;
    const auto half = static_cast<qint64>(static_cast<double>(m_toNs - m_fromNs) * factor / 2);
    m_fromNs = std::max<qint64>(centre - std::max<qint64>(half, 1'000'000), -m_toNs);
    m_toNs = centre + std::max<qint64>(half, 1'000'000);
    m_live = false;
    emit heldByUser();
    refresh();
}

double ScopeChart::keyOffset() const
{
    if (m_timeAxis != TimeAxis::Clock || m_store.size() == 0)
        return 0;
    const qint64 wall0 = std::chrono::duration_cast<std::chrono::nanoseconds>(m_store.wall(0).time_since_epoch()).count();
    return static_cast<double>(wall0 - m_store.elapsedNs(0)) / kNsPerSecond;
}

void ScopeChart::refresh(bool immediate)
{
    if (m_live && m_store.size() > 0) {
        const qint64 last = m_store.elapsedNs(m_store.size() - 1);
        if (m_windowSeconds > 0) {
            const auto span = static_cast<qint64>(m_windowSeconds * kNsPerSecond);
            m_toNs = std::max(last, span);
            m_fromNs = m_toNs - span;
        } else {
            m_fromNs = m_store.elapsedNs(0);
            m_toNs = std::max(last, m_fromNs + 1'000'000'000);
        }
    } else if (m_live) {
        m_fromNs = 0;
        m_toNs = static_cast<qint64>((m_windowSeconds > 0 ? m_windowSeconds : 10) * kNsPerSecond);
    }
    const double offset = keyOffset();
    const int columns = std::max(1, axisRect()->width());
    m_reduced.update(m_store, m_fromNs, m_toNs, columns, offset, m_visible);
    arrangeAxes();

    m_settingRange = true;
    xAxis->setRange(static_cast<double>(m_fromNs) / kNsPerSecond + offset, static_cast<double>(m_toNs) / kNsPerSecond + offset);
    m_settingRange = false;
    applyYRange();
    // The cursor stays only while its time is in view.
    if (m_cursorShown && xAxis->range().contains(m_cursorKey))
        placeCursor(m_cursorKey);
    else if (m_cursorShown)
        leaveEvent(nullptr);
    replot(immediate ? rpImmediateRefresh : rpQueuedReplot);
    emit refreshed();
}

// A point's pixel: the key and value axes' scales, and the trace's own
// scale into its unit (the lines lifted to their places in the strip).
struct ScopeChart::TraceMap {
    QRect area;
    double keyLower = 0;
    double xScale = 0;
    double valueLower = 0;
    double yScale = 0;
    double gain = 1;
    double shift = 0;

    QPoint pixel(const Point& p) const
    {
        // Far outside the area, points are held to a band around it, so that
        // no coordinate overflows.
        return QPoint(static_cast<int>(std::lround(std::clamp(area.left() + (p.key - keyLower) * xScale, -1e6, 1e6))),
                      static_cast<int>(std::lround(std::clamp(
                          area.top() + area.height() - (gain * p.value + shift - valueLower) * yScale, -1e6, 1e6))));
    }
};

ScopeChart::TraceMap ScopeChart::traceMap(int s) const
{
    const bool analog = s < kAnalogSeries;
    const QCPAxis* x = m_graphs[s]->keyAxis();
    const QCPAxis* y = m_graphs[s]->valueAxis();
    TraceMap m;
    m.area = analog ? axisRect()->rect() : m_digitalRect->rect();
    m.keyLower = x->range().lower;
    m.xScale = m.area.width() / x->range().size();
    m.valueLower = y->range().lower;
    m.yScale = m.area.height() / y->range().size();
    m.gain = analog ? m_setup.input(s).gain : 1.0;
    m.shift = analog ? m_setup.input(s).offset : (s - kAnalogSeries) * kLinePitch;
    return m;
}

QPoint ScopeChart::tracePixel(int s, const Point& p) const { return traceMap(s).pixel(p); }

// Each trace as one polyline of whole pixels, a point only where the pixel
// changes: a day drawn whole is some 3,600 points a trace, two to a column.
// On the screen its lines are set straight into the paint buffer's pixels:
// QPainter's polyline took half as long again for a day's noisy traces
// (a call a pixel), QCustomPlot's own graphs a third longer than that, and
// a trace set into an image of its own costs a clear and a blend of the
// whole chart each (bench/zolt_recording_bench).
void ScopeChart::drawTraces(QCPPainter* painter)
{
    // The plot's layout is now the one drawn: after a resize, or where the
    // axes took another width since the refresh, the columns follow it.
    if (const int columns = std::max(1, axisRect()->width()); columns != m_reduced.columns())
        m_reduced.update(m_store, m_fromNs, m_toNs, columns, keyOffset(), m_visible);
    const QSharedPointer<QCPAbstractPaintBuffer> buffer = m_buffer.toStrongRef();
    auto* const ours = static_cast<TraceBuffer*>(buffer.data());
    QImage* const image = ours && ours->owns(painter) ? &ours->image() : nullptr;
    for (int s = 0; s < kSeries; ++s) {
        const std::vector<Point>& pts = reduction().points[s];
        if (!m_visible[s] || pts.empty())
            continue;
        const bool analog = s < kAnalogSeries;
        const TraceMap map = traceMap(s);
        m_pixels.clear();
        m_pixels.reserve(pts.size() * 2);
        for (const Point& p : pts) {
            const QPoint next = map.pixel(p);
            if (!m_pixels.empty() && m_pixels.back() == next)
                continue;
            // A digital line steps: it keeps its level until the next scan.
            if (!analog && !m_pixels.empty() && m_pixels.back().y() != next.y())
                m_pixels.emplace_back(next.x(), m_pixels.back().y());
            m_pixels.push_back(next);
        }
        if (image && m_colours[s].alpha() == 255) {
            // Opaque, so the premultiplied pixel is the colour itself.
            const QRgb colour = m_colours[s].rgb();
            const QRect clip = map.area & image->rect();
            const Pixels pixels{image->bits(), image->bytesPerLine()};
            if (m_pixels.size() == 1)
                setLine(pixels, colour, m_pixels.front(), m_pixels.front(), clip);
            for (std::size_t i = 1; i < m_pixels.size(); ++i)
                setLine(pixels, colour, m_pixels[i - 1], m_pixels[i], clip);
            continue;
        }
        // On another device (an exported file): QPainter's lines.
        painter->save();
        painter->setClipRect(map.area);
        painter->setPen(tracePen(m_colours[s]));
        if (m_pixels.size() == 1)
            painter->drawPoint(m_pixels.front());
        else
            painter->drawPolyline(m_pixels.data(), static_cast<int>(m_pixels.size()));
        painter->restore();
    }
}

void ScopeChart::applyYRange()
{
    // Each axis: the input range of its channels in their unit, or, fitted,
    // what they show; a linear scale takes ends to ends.
    std::map<QCPAxis*, std::pair<double, double>> full;
    std::map<QCPAxis*, std::pair<double, double>> shown;
    std::map<QCPAxis*, double> step;
    const auto widen = [](auto& ranges, QCPAxis* a, double x, double y) {
        const auto [it, fresh] = ranges.try_emplace(a, std::min(x, y), std::max(x, y));
        if (!fresh)
            it->second = {std::min({it->second.first, x, y}), std::max({it->second.second, x, y})};
    };
    for (int s = 0; s < kAnalogSeries; ++s) {
        if (!m_visible[s])
            continue;
        const front::InputSetup& in = m_setup.input(s);
        QCPAxis* axis = m_axisOf[s];
        widen(full, axis, in.value(front::kSetupLowestMv), in.value(front::kSetupHighestMv));
        step[axis] = std::max(step[axis], std::fabs(in.gain) * 10);   // 10 mV at least
        const SeriesStats& st = reduction().stats[s];
        if (st.n > 0)
            widen(shown, axis, in.value(st.min), in.value(st.max));
    }
    for (qsizetype i = 0; i < m_axisUnits.size(); ++i) {
        QCPAxis* axis = valueAxisAt(i);
        const auto f = full.find(axis);
        const auto [lo, hi] = f != full.end() ? f->second : std::pair{0.0, 5000.0};
        const auto sh = shown.find(axis);
        if (!m_fittedY || sh == shown.end()) {
            axis->setRange(lo, hi);
            continue;
        }
        const double margin = std::max(step[axis], (sh->second.second - sh->second.first) * 0.05);
        axis->setRange(sh->second.first - margin, sh->second.second + margin);
    }
}

void ScopeChart::onRangeChanged(const QCPRange& range)
{
    if (m_settingRange)
        return;
    // The user dragged or zoomed: hold the view there and draw it afresh.
    const double offset = keyOffset();
    m_fromNs = static_cast<qint64>((range.lower - offset) * kNsPerSecond);
    m_toNs = static_cast<qint64>((range.upper - offset) * kNsPerSecond);
    if (m_toNs <= m_fromNs)
        m_toNs = m_fromNs + 1'000'000;
    if (m_live) {
        m_live = false;
        emit heldByUser();
    }
    if (!m_refreshQueued) {
        m_refreshQueued = true;
        QTimer::singleShot(0, this, [this] {
            m_refreshQueued = false;
            refresh();
        });
    }
}

void ScopeChart::onMouseMove(QMouseEvent* event)
{
    if (!axisRect()->rect().contains(event->position().toPoint()) &&
        !m_digitalRect->rect().contains(event->position().toPoint())) {
        leaveEvent(nullptr);
        return;
    }
    placeCursor(xAxis->pixelToCoord(event->position().x()));
    replot(rpQueuedReplot);
}

void ScopeChart::leaveEvent(QEvent* event)
{
    if (m_cursorShown) {
        m_cursorShown = false;
        m_cursorLine->setVisible(false);
        m_cursorText->setVisible(false);
        replot(rpQueuedReplot);
    }
    if (event)
        QCustomPlot::leaveEvent(event);
}

void ScopeChart::placeCursor(double key)
{
    m_cursorKey = key;
    m_cursorShown = true;
    m_cursorLine->point1->setCoords(key, 0);
    m_cursorLine->point2->setCoords(key, 1);
    m_cursorLine->setVisible(true);
    m_cursorText->setText(cursorText());
    m_cursorText->setVisible(true);
}

QString ScopeChart::cursorText() const
{
    if (!m_cursorShown || m_store.size() == 0)
        return {};
    // The scan nearest the pointer.
    const auto ns = static_cast<qint64>((m_cursorKey - keyOffset()) * kNsPerSecond);
    long long i = m_store.lowerBound(ns);
    if (i >= m_store.size())
        i = m_store.size() - 1;
    if (i > 0 && std::llabs(m_store.elapsedNs(i - 1) - ns) < std::llabs(m_store.elapsedNs(i) - ns))
        --i;
    QString text;
    if (m_timeAxis == TimeAxis::Clock) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(m_store.wall(i).time_since_epoch()).count();
        text = QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("hh:mm:ss.zzz"));
    } else {
        text = QStringLiteral("%1 s").arg(m_store.seconds(i), 0, 'f', 3);
    }
    for (int s = 0; s < kAnalogSeries; ++s) {
        if (m_visible[s] && m_store.valid(i, s)) {
            const QString& unit = m_setup.input(s).unit;
            text += QStringLiteral("\n%1  %2%3")
                        .arg(seriesTitle(s))
                        .arg(figureText(s, m_store.value(i, s), false), 4)
                        .arg(unit.isEmpty() ? QString() : u' ' + unit);
        }
    }
    if (m_store.digital(i)) {
        // Lines with their own names and words one a row; plain ones on one.
        const front::ChannelSetup plain;
        bool named = false;
        for (int l = 0; l < acquisition::kDigitalLines; ++l)
            named = named || !(m_setup.line(acquisition::kFirstDigitalLine + l) == plain.line(acquisition::kFirstDigitalLine + l));
        if (!named) {
            text += QStringLiteral("\ndin3..5  %1 %2 %3").arg(m_store.line(i, 0)).arg(m_store.line(i, 1)).arg(m_store.line(i, 2));
        } else {
            for (int s = kAnalogSeries; s < kSeries; ++s)
                text += QStringLiteral("\n%1  %2").arg(seriesTitle(s), figureText(s, m_store.value(i, s)));
        }
    }
    return text;
}

bool ScopeChart::exportPng(const QString& path) { return savePng(path); }

bool ScopeChart::exportPdf(const QString& path)
{
    return savePdf(path, 0, 0, QCP::epAllowCosmetic, QStringLiteral("ZOLT Scope"), QStringLiteral("ZOLT Scope chart"));
}

QString ScopeChart::exportCsv(const QString& path) const
{
    const long long first = m_store.lowerBound(m_fromNs);
    const long long end = m_store.lowerBound(m_toNs + 1);
    // The columns of the widest scan in view.
    int top = 0;
    bool digital = false;
    for (long long i = first; i < end; ++i) {
        top = std::max(top, m_store.topChannel(i));
        digital = digital || m_store.digital(i);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    // With a setup of the user's, its values and the setup beside the file, as a recording has them.
    const front::ChannelSetup* setup = m_setup.isDefault() ? nullptr : &m_setup;
    if (setup) {
        if (const QString why = setup->save(front::setupSidecarPath(path)); !why.isEmpty())
            return why;
    }
    front::RowFormat format(front::Format::Csv, top, digital, setup);
    file.write(format.header());
    for (long long i = first; i < end; ++i) {
        const std::string_view row = format.row(m_store.scan(i));
        if (file.write(row.data(), static_cast<qint64>(row.size())) != static_cast<qint64>(row.size()))
            return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    }
    if (!file.flush())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return {};
}

} // namespace scope
