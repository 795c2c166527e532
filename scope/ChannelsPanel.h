#pragma once

// The channels beside the chart: for each of the seven inputs and three
// lines whether it is shown, its colour (chosen by double-click or Enter),
// and its minimum, maximum, mean and last value over the view, in the names
// and units of the session's channel setup. The same figures, put in words,
// are the chart's description to a screen reader.
// Each series keeps its choices under a group of its own ("series0").

#include "front/ChannelSetup.h"
#include "scope/ScopePanel.h"

#include <QTableWidget>

namespace scope {

class ScopeChart;

class ChannelsPanel : public QTableWidget, public ScopePanel {
    Q_OBJECT

public:
    explicit ChannelsPanel(ScopeChart& chart, QWidget* parent = nullptr);

    // The figures of what the chart shows now.
    void showFigures();
    void follow(const ScopeSession&) override {}
    // The chart and the figures in this setup's names, units and words.
    void showSetup(const front::ChannelSetup& setup);

protected:
    void load(QSettings& settings) override;
    void save(QSettings& settings) const override;

private:
    void chooseColour(int series);

    ScopeChart& m_chart;
};

} // namespace scope
