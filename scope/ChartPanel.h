#pragma once

// The side panel's view of the chart: the time window shown, seconds from
// the start or the clock, and the millivolt axis fixed or fitted.

#include "scope/ScopePanel.h"

#include <QGroupBox>

class QComboBox;

namespace scope {

class ScopeChart;

class ChartPanel : public QGroupBox, public ScopePanel {
    Q_OBJECT

public:
    explicit ChartPanel(ScopeChart& chart, QWidget* parent = nullptr);
    void follow(const ScopeSession&) override {}

protected:
    void load(QSettings& settings) override;
    void save(QSettings& settings) const override;

private:
    ScopeChart& m_chart;
    QComboBox* m_windowCombo = nullptr;
    QComboBox* m_timeCombo = nullptr;
    QComboBox* m_yCombo = nullptr;
};

} // namespace scope
