#pragma once

// ZOLT Scope's main window: the toolbar (ScopeActions), the File menu
// (RecordingOpener), the side panels (source, acquisition, chart, outputs,
// recording), the chart with its banner, the channels' figures beside it and
// the status bar (StatusFigures), over a session that does the work: the
// window builds these parts, wires them together and shows the session's
// scans and state; each panel keeps its own choices.

#include "front/RowFormat.h"
#include "front/LinkOptions.h"
#include "front/MqttOptions.h"
#include "scope/ScopeSession.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class QLabel;
class QSettings;

namespace scope {

class AcquisitionPanel;
class ChannelsPanel;
class ChartExport;
class ChartPacer;
class ChartPanel;
class OutputsPanel;
class RecordingOpener;
class RecordPanel;
class ScopeActions;
class ScopeChart;
class ScopePanel;
class SourcePanel;
class StatusFigures;

class ScopeWindow : public QMainWindow {
    Q_OBJECT

public:
    // The window's size when it first opens, pixels.
    static constexpr QSize kDefaultSize{1280, 860};

    // settings: where choices are remembered between runs.
    explicit ScopeWindow(QSettings& settings, QWidget* parent = nullptr);
    ~ScopeWindow() override;

    ScopeSession& session() { return m_session; }
    // The channel setup the chart, the figures, recordings and publishing use.
    void useSetup(const front::ChannelSetup& setup) { m_session.setSetup(setup); }
    const front::ChannelSetup& channelSetup() const { return m_session.channelSetup(); }

    // The source from the side panel's choice, or from these options; empty
    // when it opened, else why not (also shown in the window).
    QString connectChosen();
    QString connectTo(const front::LinkOptions& link);
    QString connectToBroker(const front::MqttOptions& options);
    QString publishTo(const front::MqttOptions& options) { return m_session.publishTo(options); }
    ScanSource* source() const { return m_session.source(); }

    // The pause between scans, ms (0..an hour), as the Pause field takes it.
    void setPause(int ms);
    void startSampling() { m_session.startSampling(); }
    void stopSampling() { m_session.stopSampling(); }
    bool sampling() const { return m_session.sampling(); }
    QString startRecording(const QString& path, front::Format format, bool replace = false)
    {
        return m_session.startRecording(path, format, replace);
    }
    void stopRecording() { m_session.stopRecording(); }
    const Recorder& recorder() const { return m_session.recorder(); }

    // Sets an output through the source (between two scans while sampling).
    void setAnalogOutput(int channel, int millivolts);
    void setDigitalOutput(bool high);

    // Opens a recording in place of a source's scans; empty when it opened,
    // else why not (see ScopeSession::openRecording).
    QString openRecording(const QString& path, bool follow = true);
    const RecordingLoader& recording() const { return m_session.recording(); }

    const ScanStore& store() const { return m_session.store(); }
    ScopeChart& chart() { return *m_chart; }
    // The banner's text while the source is away; empty otherwise.
    QString bannerText() const;
    // The status bar's figures in one line.
    QString statusText() const;

    // Asked whether an existing file may be replaced; a question box by default.
    std::function<bool(const QString& path)> askReplace;

    // Saves the choices; also done when the window closes.
    void saveSettings();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void wire();
    void buildPanels();
    // The side panels, in their order from the top.
    std::array<ScopePanel*, 5> panels() const;
    void loadSettings();
    void updateStats();
    void updateControls();
    void editSetup();

    QSettings& m_settings;
    ScopeSession m_session;
    ScopeChart* m_chart = nullptr;
    ChartPacer* m_pacer = nullptr;
    ScopeActions* m_actions = nullptr;
    RecordingOpener* m_opener = nullptr;
    ChartExport* m_export = nullptr;

    // Panels.
    SourcePanel* m_sourcePanel = nullptr;
    AcquisitionPanel* m_acquisitionPanel = nullptr;
    ChartPanel* m_chartPanel = nullptr;
    OutputsPanel* m_outputsPanel = nullptr;
    RecordPanel* m_recordPanel = nullptr;
    ChannelsPanel* m_channelsPanel = nullptr;
    QLabel* m_banner = nullptr;
    std::unique_ptr<StatusFigures> m_figures;
};

} // namespace scope
