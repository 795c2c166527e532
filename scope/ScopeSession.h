#pragma once

// What ZOLT Scope does, without a window: the source of the scans, the
// acquisition settings, the store every scan is kept in, the recording, the
// publishing on a broker and the figures of the run (scans a second). The
// window and its panels only show it and ask it for things; a test, or any
// other front end, drives it the same way.
//
// A source is anything that gives scans (ScanSource): the module on a port,
// the simulated module, a bench on a broker, and in the same way a
// recording opened again. The channel setup (the inputs' names, units and
// scales, the lines' words) is held here beside the settings, so that the
// chart, the figures, the recording and the publishing read it from one place.

#include "front/ChannelSetup.h"
#include "front/RowFormat.h"
#include "front/LinkOptions.h"
#include "front/MqttOptions.h"
#include "scope/Recorder.h"
#include "scope/ScanSource.h"
#include "scope/RecordingLoader.h"
#include "scope/ScanStore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace scope {

class ScopeSession : public QObject {
    Q_OBJECT

public:
    explicit ScopeSession(QObject* parent = nullptr);
    ~ScopeSession() override;

    // The module on a port or the simulated one; empty when it opened, else
    // why not (also given by problem()).
    QString connectTo(const front::LinkOptions& link);
    // A bench on an MQTT broker, as zoltctl or another scope publishes it.
    QString connectToBroker(const front::MqttOptions& options);
    // Publishes the present (local) source's acquisition on a broker; empty
    // when it does, else why not. Ends with the source.
    QString publishTo(const front::MqttOptions& options);
    bool publishing() const { return m_published != nullptr; }
    // Any other source, opened already; the session takes it over.
    void useSource(std::unique_ptr<ScanSource> source);
    ScanSource* source() const { return m_source.get(); }

    // Taken by the source at once, and by the next run and recording.
    void setSettings(const acquisition::Settings& settings);
    const acquisition::Settings& settings() const { return m_settings; }

    // The channel setup the chart, the figures, recordings and publishing use;
    // taken by the next recording, and by the publishing at once.
    void setSetup(const front::ChannelSetup& setup);
    const front::ChannelSetup& channelSetup() const { return m_setup; }
    // The setup when it is one of the user's, not the defaults.
    std::optional<front::ChannelSetup> givenSetup() const;

    // A new run: the store starts again. Without a source, sourceWanted()
    // is emitted first, so that whoever chooses one can connect it.
    void startSampling();
    void stopSampling();
    bool sampling() const { return m_source && m_source->running(); }

    // Asks askReplace before replacing an existing file, unless replace.
    // Starts sampling when it is not running. Empty when the recording runs,
    // else why not.
    QString startRecording(const QString& path, front::Format format, bool replace = false);
    void stopRecording();
    const Recorder& recorder() const { return m_recorder; }
    // Asked whether an existing file may be replaced; without it, files are kept.
    std::function<bool(const QString& path)> askReplace;

    // Through the source, between two scans while sampling; nothing when
    // the source cannot drive outputs.
    void setAnalogOutput(int channel, int millivolts);
    void setDigitalOutput(bool high);

    // Opens a recording of zoltctl or ZOLT Scope in place of a source's scans
    // (sampling and recording stop); empty when it opened, else why not. Its
    // rows come in as it is read; with follow, rows written to it later too.
    // The next run of a source closes it.
    QString openRecording(const QString& path, bool follow = true);
    const RecordingLoader& recording() const { return m_recording; }
    // The store holds an opened recording, not a run of a source.
    bool showingFile() const { return m_showingFile; }

    const ScanStore& store() const { return m_store; }
    // Scans a second over the last second; 0 when not sampling.
    double rate() const { return m_rate; }
    // The source that is away for now, or empty.
    const QString& waitingFor() const { return m_waitingFor; }
    // Why the last connection failed, or empty.
    const QString& problem() const { return m_problem; }
    // A connection that cannot be made: kept as problem(), told by failed();
    // gives why back.
    QString fail(const QString& why);
    // Ends the recording whole and stops the source.
    void finish();

signals:
    // Anything the controls follow changed: the source, sampling, the
    // recording, the outputs' availability.
    void changed();
    void sourceChanged();
    // The channel setup is new.
    void setupChanged();
    void sourceWanted();
    // A run started, and stopped: after stopped() the last scans are all in
    // the store.
    void started();
    void stopped();
    void scanned();
    void lost(const QString& what);
    void returned();
    void outputSent(int channel, int value);
    // A connection failed, with why.
    void failed(const QString& why);
    // A passing note for the status bar, shown for about timeoutMs.
    void note(const QString& text, int timeoutMs);
    // Once a second: the rate and the recording's figures are new.
    void ticked();

private:
    void onScanned(const acquisition::Scan& scan);
    void onTick();

    ScanStore m_store;
    RecordingLoader m_recording{m_store};
    bool m_showingFile = false;
    acquisition::Settings m_settings;
    front::ChannelSetup m_setup;
    std::unique_ptr<ScanSource> m_source;
    // After the source: it goes first.
    std::unique_ptr<QObject> m_published;
    Recorder m_recorder;
    int m_baud = 9600;   // the port's, told to the broker's readers

    QTimer m_tick;   // once a second: rate, recording's file check
    QElapsedTimer m_tickClock;
    long long m_runScans = 0;
    long long m_scansAtTick = 0;
    double m_rate = 0;
    QString m_waitingFor;
    QString m_problem;
};

} // namespace scope
