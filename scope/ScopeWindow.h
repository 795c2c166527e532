#pragma once

// ZOLT Scope's main window: a toolbar, the side panel (source, acquisition,
// chart, outputs, recording), the chart with its banner, the channels'
// figures beside it and the status bar. Every scan the source gives is kept
// in the store, drawn, and written to the recording when one runs.

#include "ctl/CtlOptions.h"
#include "ctl/LinkOptions.h"
#include "ctl/MqttOptions.h"
#include "front/ChannelSetup.h"
#include "scope/Recorder.h"
#include "scope/ScanSource.h"
#include "scope/ScanStore.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;
class QSpinBox;
class QTableWidget;

namespace scope {

class ScopeChart;

class ScopeWindow : public QMainWindow {
    Q_OBJECT

public:
    // settings: where choices are remembered between runs.
    // The window's size when it first opens, pixels.
    static constexpr QSize kDefaultSize{1280, 860};

    explicit ScopeWindow(QSettings& settings, QWidget* parent = nullptr);
    ~ScopeWindow() override;

    // The source from the side panel's choice, or from these options; empty
    // when it opened, else why not (also shown in the window).
    QString connectChosen();
    QString connectTo(const zoltctl::LinkOptions& link);
    // A bench on an MQTT broker, as zoltctl or another scope publishes it;
    // empty when it is connected, else why not.
    QString connectToBroker(const zoltctl::MqttOptions& options);
    // Publishes the present (local) source's acquisition on a broker; empty
    // when it does, else why not. Ends with the source.
    QString publishTo(const zoltctl::MqttOptions& options);
    bool publishing() const { return m_published != nullptr; }
    // Any other source (the window takes it over); opened already.
    void useSource(std::unique_ptr<ScanSource> source);
    ScanSource* source() const { return m_source.get(); }

    void startSampling();
    void stopSampling();
    bool sampling() const;

    // Asks before replacing an existing file (askReplace), unless replace.
    // Empty when the recording runs, else why not.
    QString startRecording(const QString& path, zoltctl::Format format, bool replace = false);
    void stopRecording();
    const Recorder& recorder() const { return m_recorder; }

    // Sets an output through the source (between two scans while sampling).
    void setAnalogOutput(int channel, int millivolts);
    void setDigitalOutput(bool high);

    const ScanStore& store() const { return m_store; }
    ScopeChart& chart() { return *m_chart; }
    // The banner's text while the source is away; empty otherwise.
    QString bannerText() const;
    QString statusText() const;

    // Asked whether an existing file may be replaced; a question box by default.
    std::function<bool(const QString& path)> askReplace;

    // Saves the choices; also done when the window closes.
    void saveSettings();

    // The channel setup the chart, the figures, recordings and publishing use.
    void useSetup(const front::ChannelSetup& setup);
    const front::ChannelSetup& channelSetup() const { return m_setup; }
    // The setup when it is one of the user's, not the defaults.
    std::optional<front::ChannelSetup> givenSetup() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    template <typename Control, typename Toggled>
    void onToggled(Control* control, Toggled toggled, std::function<bool()> now, std::function<void(bool)> want);
    void setSampling(bool on);
    void setRecording(bool on);
    void buildPanels();
    void loadSettings();
    void fillPorts();
    acquisition::Settings chosenSettings() const;
    void applySettings();
    void onScanned(const acquisition::Scan& scan);
    void onLost(const QString& what);
    void onReturned();
    void showOutput(int channel, int value);
    void schedulePaint();
    void paintNow();
    void onTick();
    void updateStats();
    void updateControls();
    void showProblem(const QString& text);
    void chooseRecordFile();
    void exportChart(int kind);
    void chooseColour(int series);
    void editSetup();

    QSettings& m_settings;
    ScanStore m_store;
    std::unique_ptr<ScanSource> m_source;
    // After the source: it goes first.
    std::unique_ptr<QObject> m_published;
    Recorder m_recorder;
    ScopeChart* m_chart = nullptr;
    front::ChannelSetup m_setup;

    // Side panel.
    QComboBox* m_sourceCombo = nullptr;
    QLineEdit* m_devicePath = nullptr;
    QComboBox* m_baudCombo = nullptr;
    QCheckBox* m_presenceCheck = nullptr;
    QPushButton* m_connectButton = nullptr;
    QLabel* m_sourceState = nullptr;
    QSpinBox* m_topChannel = nullptr;
    QCheckBox* m_digital = nullptr;
    QComboBox* m_pause = nullptr;
    QPushButton* m_startButton = nullptr;
    QComboBox* m_windowCombo = nullptr;
    QComboBox* m_timeCombo = nullptr;
    QComboBox* m_yCombo = nullptr;
    std::array<QSpinBox*, 4> m_outputValue{};
    std::array<QPushButton*, 4> m_outputSet{};
    QCheckBox* m_digitalOut = nullptr;
    QComboBox* m_recordFormat = nullptr;
    QPushButton* m_recordButton = nullptr;
    QLabel* m_recordState = nullptr;
    QTableWidget* m_channels = nullptr;
    QLabel* m_banner = nullptr;

    // Status bar.
    QLabel* m_rateLabel = nullptr;
    QLabel* m_missedLabel = nullptr;
    QLabel* m_portLabel = nullptr;
    QLabel* m_keptLabel = nullptr;

    // Actions.
    QAction* m_startAction = nullptr;
    QAction* m_recordAction = nullptr;
    QAction* m_holdAction = nullptr;
    QAction* m_liveAction = nullptr;
    QAction* m_boxZoomAction = nullptr;

    QTimer m_tick;             // once a second: rate, recording, file check
    QTimer m_paintTimer;       // a repaint in the quiet after a scan
    QElapsedTimer m_sincePaint;
    QElapsedTimer m_sinceStats;
    long long m_scansAtTick = 0;
    QElapsedTimer m_tickClock;
    double m_rate = 0;
    long long m_runScans = 0;
    QString m_waitingFor;      // the source that is away, or empty
    QString m_problem;
};

} // namespace scope
