#pragma once

// Continuous acquisition, once for every front end: the read request, the
// pause, the optional digital read, the reply deadline, stray bytes, a lost
// port and its return, the count and duration limits, and output commands
// asked for during a run (sent between two scans, never inside an exchange).
// Each complete scan is handed on as a value through scanned().

#include "link/Module1.h"
#include "link/Scan.h"

#include <QObject>
#include <QString>
#include <array>

class QTimer;

namespace acquisition {

// The pauses between cycles that the programs offer by name, in ms. Any other
// whole number of ms from kShortestPauseMs to kLongestPauseMs is allowed too.
struct NamedPause {
    const char* label;   // as ZOLTrc's Sampling menu shows it
    const char* word;    // as command lines take it
    int ms;
};
inline constexpr std::array<NamedPause, 4> kNamedPauses{{
    {"Max Speed", "max", 1},
    {"0.5 sec", "0.5s", 500},
    {"1 sec", "1s", 1000},
    {"10 sec", "10s", 10000},
}};
inline constexpr int kMaxSpeedPauseMs = kNamedPauses[0].ms;
inline constexpr int kShortestPauseMs = 0;   // as soon as the event loop is free
inline constexpr int kLongestPauseMs = 3600 * 1000;   // an hour; anything longer is a typing slip

struct Settings {
    int topChannel = protocol::kMaxAnalogChannel;   // 0..6
    bool digital = false;                           // lines 3 to 5 after each analog read
    int pauseMs = 500;
    long long countLimit = 0;                       // scans; 0 for none
    qint64 durationLimitMs = 0;                     // from start(); 0 for none
};

// Scans a second the line can carry at most at a baud rate, with nothing but
// the bytes on the wire and the pause.
double lineLimitScansPerSecond(const Settings& settings, int baud);

class Acquisition : public QObject, private ReplyObserver {
    Q_OBJECT

public:
    enum class End { Stopped, CountReached, DurationReached };
    // The two reads of a scan.
    enum class Read { Analog, Digital };
    // Why a reply the cycle asked for will not come.
    enum class Failure { Missed, PortLost };

    // The cycle runs itself: its own pause timer, and it takes the serial
    // control's events.
    explicit Acquisition(Module1& module, QObject* parent = nullptr);
    // A front end that already has the pause timer and handles the serial
    // events (the main window) passes its timer; the cycle then connects
    // neither, and the front end calls pauseEnded() from the timer's handler
    // (reached by pauseDue() too) and replyArrived() and commEventDone() from
    // its serial event handler.
    Acquisition(Module1& module, QTimer& pauseTimer, QObject* parent = nullptr);
    ~Acquisition() override;

    // Taken at once when stopped; during a run, at the start of the next cycle.
    void setSettings(const Settings& settings);
    const Settings& settings() const;

    void start();
    void stop();
    bool running() const;
    // The port is gone and the run waits for it to return.
    bool waitingForPort() const;

    // Output commands, never sent while a reply is due: when stopped at once
    // (or when the reply in hand is in), when running between two scans.
    // Millivolts as the analog output window takes them (0..4300, clamped).
    // When stopped, the digital lines are read back at once after the output
    // changed; in a run the next scan's lines show it.
    void setAnalogOutput(int channel, int millivolts);
    void setDigitalOutput(bool high);
    // When stopped: the digital lines read (once the reply in hand, if any,
    // is in); linesRead() or replyFailed() follows. Read back after an output
    // change the same way.
    void readLines();

    long long scans() const;
    long long missedReplies() const;

    // --- Driving the cycle from a front end's own handlers.
    // The pause is over: output commands asked for meanwhile, then the read
    // request of the next cycle.
    void pauseEnded();
    // A receive event: the reply's bytes decoded into the shared state.
    void replyArrived();
    // After any serial event: the scan completed, the digital read, or the
    // next pause.
    void commEventDone();

signals:
    void scanned(const acquisition::Scan& scan);
    void portLost();
    void portReturned();
    // An output command has been written to the port (channel -1 for the
    // digital output; value in millivolts, or the level).
    void outputSent(int channel, int value);
    void ended(acquisition::Acquisition::End why);
    // A reply this cycle asked for will not come. In a run the cycle goes on
    // (after the pause, or once the port is back); this is for a front end
    // that waits for one exchange.
    void replyFailed(acquisition::Acquisition::Read read, acquisition::Acquisition::Failure why);
    // When stopped: the lines read by readLines() or read back after an
    // output change are in the shared state (Module1::DigData).
    void linesRead();
    // The pause after a reply is over, counted from the reply's arrival,
    // before the pause timer's own tick. Only for a front end that passed its
    // own timer: it handles this as that tick.
    void pauseDue();

private:
    // Module1 says how the reply in hand ended.
    void replyEnded(ReplyObserver::End how) override;
    // Reception is Idle with no reply to come (a reply missed, a cycle the
    // stray bytes rule skipped): the next cycle comes after the pause.
    void receptionIdleAgain();

    void init();
    void onPortLost();
    void onPortReturned();
    void armPause();
    void stopPause();
    void alarmRang();
    void takeReply();
    void applySettings();
    void sendOutputs();
    void finish(End why);

    struct Private;
    Private* d;
};

} // namespace acquisition
