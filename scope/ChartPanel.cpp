#include "scope/ChartPanel.h"

#include "scope/ScopeChart.h"

#include <QComboBox>
#include <QFormLayout>
#include <algorithm>
#include <array>

namespace scope {

namespace {

struct WindowChoice {
    const char* label;
    double seconds;   // 0 for the whole run
};
constexpr std::array<WindowChoice, 5> kWindows{{
    {"10 s", 10}, {"1 min", 60}, {"10 min", 600}, {"1 h", 3600}, {"Whole run", 0}}};

} // namespace

ChartPanel::ChartPanel(ScopeChart& chart, QWidget* parent)
    : QGroupBox(QStringLiteral("Chart"), parent)
    , ScopePanel(QStringLiteral("chart"))
    , m_chart(chart)
{
    setAccessibleName(QStringLiteral("Chart settings"));   // "Chart" is the chart's own
    auto* form = new QFormLayout(this);
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
    form->addRow(QStringLiteral("Window"), m_windowCombo);
    form->addRow(QStringLiteral("Time"), m_timeCombo);
    form->addRow(QStringLiteral("mV axis"), m_yCombo);

    connect(m_windowCombo, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this] { m_chart.setWindowSeconds(m_windowCombo->currentData().toDouble()); });
    connect(m_timeCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int i) {
        m_chart.setTimeAxis(i == 1 ? ScopeChart::TimeAxis::Clock : ScopeChart::TimeAxis::Seconds);
    });
    connect(m_yCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int i) { m_chart.setFittedY(i == 1); });
}

void ChartPanel::load(QSettings& s)
{
    m_windowCombo->setCurrentIndex(std::clamp(s.value(QStringLiteral("window"), 1).toInt(), 0, int(kWindows.size()) - 1));
    m_chart.setWindowSeconds(m_windowCombo->currentData().toDouble());
    m_timeCombo->setCurrentIndex(s.value(QStringLiteral("clock"), false).toBool() ? 1 : 0);
    m_yCombo->setCurrentIndex(s.value(QStringLiteral("fitted"), false).toBool() ? 1 : 0);
}

void ChartPanel::save(QSettings& s) const
{
    s.setValue(QStringLiteral("window"), m_windowCombo->currentIndex());
    s.setValue(QStringLiteral("clock"), m_timeCombo->currentIndex() == 1);
    s.setValue(QStringLiteral("fitted"), m_yCombo->currentIndex() == 1);
}

} // namespace scope
