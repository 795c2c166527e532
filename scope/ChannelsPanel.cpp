#include "scope/ChannelsPanel.h"

#include "scope/ScopeChart.h"

#include <QColorDialog>
#include <QHeaderView>

namespace scope {

namespace {

enum Column { kShow, kColour, kMin, kMax, kMean, kLast, kColumns };

QString seriesLabel(int s)
{
    if (s < kAnalogSeries)
        return QStringLiteral("Channel %1").arg(s);
    return QStringLiteral("Line %1").arg(lineOfSeries(s));
}

} // namespace

ChannelsPanel::ChannelsPanel(ScopeChart& chart, QWidget* parent)
    : QTableWidget(kSeries, kColumns, parent)
    , ScopePanel(QString())
    , m_chart(chart)
{
    setObjectName(QStringLiteral("channels"));
    setAccessibleName(QStringLiteral("Channels shown, with their figures over the view"));
    setHorizontalHeaderLabels({QStringLiteral("Show"), QStringLiteral("Colour"), QStringLiteral("Min"), QStringLiteral("Max"),
                               QStringLiteral("Mean"), QStringLiteral("Last")});
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->setVisible(false);
    for (int s = 0; s < kSeries; ++s) {
        auto* show = new QTableWidgetItem(seriesName(s));
        show->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        show->setCheckState(Qt::Checked);
        show->setData(Qt::AccessibleTextRole, QStringLiteral("Show %1").arg(seriesLabel(s)));
        setItem(s, kShow, show);
        auto* colour = new QTableWidgetItem;
        colour->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        colour->setToolTip(QStringLiteral("Double-click or press Enter to choose a colour"));
        colour->setData(Qt::AccessibleTextRole, QStringLiteral("Colour of %1").arg(seriesLabel(s)));
        setItem(s, kColour, colour);
        for (int c = kMin; c < kColumns; ++c) {
            auto* figure = new QTableWidgetItem;
            figure->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            figure->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            setItem(s, c, figure);
        }
    }
    resizeColumnsToContents();
    horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    horizontalHeader()->setSectionResizeMode(kShow, QHeaderView::ResizeToContents);
    setMinimumWidth(330);

    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* changed) {
        if (changed->column() == kShow)
            m_chart.setSeriesVisible(changed->row(), changed->checkState() == Qt::Checked);
    });
    connect(this, &QTableWidget::itemActivated, this, [this](QTableWidgetItem* activated) {
        if (activated->column() == kColour)
            chooseColour(activated->row());
    });
}

void ChannelsPanel::chooseColour(int series)
{
    const QColor c = QColorDialog::getColor(m_chart.colour(series), this, QStringLiteral("Colour of %1").arg(seriesLabel(series)));
    if (!c.isValid())
        return;
    m_chart.setColour(series, c);
    item(series, kColour)->setBackground(c);
}

void ChannelsPanel::showFigures()
{
    const Reduction& r = m_chart.reduction();
    QStringList description;
    for (int s = 0; s < kSeries; ++s) {
        const SeriesStats& st = r.stats[static_cast<std::size_t>(s)];
        const bool has = m_chart.seriesVisible(s) && st.n > 0;
        const bool analog = s < kAnalogSeries;
        const auto put = [&](int col, const QString& text) {
            QTableWidgetItem* figure = item(s, col);
            if (figure->text() != text)
                figure->setText(text);
        };
        // In the setup's units (the lines' minimum, maximum and last in its words).
        const ScopeChart& c = m_chart;
        const front::ChannelSetup& setup = c.setup();
        put(kMin, has ? c.figureText(s, st.min, false) : QString());
        put(kMax, has ? c.figureText(s, st.max, false) : QString());
        put(kMean, has ? (analog ? QString::number(setup.value(s, st.mean), 'f', setup.decimals(s) + 1)
                                 : QString::number(st.mean, 'f', 2))
                       : QString());
        put(kLast, has ? c.figureText(s, st.last, false) : QString());
        if (has) {
            // "Channel 2: ..." as before; the setup's name after it when it has one of its own.
            const QString title = c.seriesTitle(s);
            const QString label = title == seriesName(s) ? seriesLabel(s) : seriesLabel(s) + QStringLiteral(", ") + title;
            description << QStringLiteral("%1: last %2, minimum %3, maximum %4")
                               .arg(label, c.figureText(s, st.last), c.figureText(s, st.min), c.figureText(s, st.max));
        }
    }
    const QString text = description.isEmpty() ? QStringLiteral("No scans in view") : description.join(QLatin1String("; "));
    if (m_chart.accessibleDescription() != text)
        m_chart.setAccessibleDescription(text);
}

void ChannelsPanel::showSetup(const front::ChannelSetup& setup)
{
    m_chart.setSetup(setup);
    for (int s = 0; s < kSeries; ++s)
        item(s, kShow)->setText(m_chart.seriesTitle(s));
    showFigures();
}

void ChannelsPanel::load(QSettings& s)
{
    const std::array<QColor, kSeries> defaults = defaultColours();
    for (int k = 0; k < kSeries; ++k) {
        const QColor fallback = defaults[static_cast<std::size_t>(k)];
        s.beginGroup(QStringLiteral("series%1").arg(k));
        const QColor c(s.value(QStringLiteral("colour"), fallback.name()).toString());
        m_chart.setColour(k, c.isValid() ? c : fallback);
        item(k, kColour)->setBackground(m_chart.colour(k));
        const bool shown = s.value(QStringLiteral("shown"), true).toBool();
        item(k, kShow)->setCheckState(shown ? Qt::Checked : Qt::Unchecked);
        m_chart.setSeriesVisible(k, shown);
        s.endGroup();
    }
}

void ChannelsPanel::save(QSettings& s) const
{
    for (int k = 0; k < kSeries; ++k) {
        s.beginGroup(QStringLiteral("series%1").arg(k));
        s.setValue(QStringLiteral("colour"), m_chart.colour(k).name());
        s.setValue(QStringLiteral("shown"), m_chart.seriesVisible(k));
        s.endGroup();
    }
}

} // namespace scope
