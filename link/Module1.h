#pragma once

// The program's shared state and the device-link routines that work on it.
// One instance lives for the whole run; every window reads and writes it by name.

#include "link/BaudOptions.h"
#include "link/LinkViews.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdint>
#include <optional>

class SerialControl;

// Flags kept as 16-bit integers hold True as -1.
inline constexpr std::int16_t True = -1;
inline constexpr std::int16_t False = 0;

// Lamp colours (blue-green-red layout).
inline constexpr Colour kColRed = 255;
inline constexpr Colour kColGreen = 65280;
inline constexpr Colour kColYellow = 65535;
inline constexpr Colour kColBlack = 0;

// Reply expected (RxMode).
inline constexpr int kRxIdle = 0;
inline constexpr int kRxDigital = 1;
inline constexpr int kRxAnalog = 10;

// The port the program tries first (the settings come from kDefaultBaud).
inline constexpr int kDefaultCommPort = 2;

template <std::size_t Rows, std::size_t Cols>
using Int16Table = std::array<std::array<std::int16_t, Cols>, Rows>;

// Whoever drives the exchanges (the acquisition cycle) is told once how each
// reply ended: complete (decoded into the shared state), missed (not complete
// within its deadline), or given up (no reply will come: the request was never
// sent because the line was still talking, or the port was lost).
class ReplyObserver {
public:
    enum class End { Complete, Missed, GivenUp };
    virtual void replyEnded(End how) = 0;

protected:
    ~ReplyObserver() = default;
};

class Module1 {
public:
    Module1(SerialControl& comm, LinkViews& views);

    // --- Colour constants, set once by InitSerialLink.
    Colour ColRed = 0;
    Colour ColGreen = 0;
    Colour ColYellow = 0;
    Colour ColBlack = 0;

    // --- Scalars.
    QByteArray CmdStr;        // the next command; one char a byte
    int RxMode = kRxIdle;
    int RxChan = 0;           // channel of the next analog reading; -1 when none
    int TopChan = 0;          // 0..6
    int Sampling = 0;         // 1 while continuous sampling runs
    std::int16_t DinMode = 0; // 0 off, 1 digital read due, 2 digital read issued
    // Ticks since sampling started. Wider than 16 bits: a long run at full speed
    // passes 32767 ticks within a minute, and the count must stay true.
    long long SampCount = 0;
    std::uint8_t DinByte = 0;
    int AdCount = 0;
    int DoutLevel = 0;
    int OutByte = 0;
    int DacChan = 0;
    std::int16_t DacVal = 0;
    QString ValStr;
    std::int16_t EchoOn = False;
    int SelPort = 0;
    int LastPort = 0;
    int OldPort = 0;
    QString OldSettings;

    // --- Replies that went wrong, since start.
    long long MissedReplies = 0;  // not complete within their deadline
    long long StrayBytes = 0;     // found waiting, and dropped, when a read was sent
    long long ReceivesHandled = 0;   // receive events decoded, one pass each
    // A reply was missed and no complete one has come since: LiteXfer stays red.
    bool ReplyOverdue = false;

    // --- Arrays (bounds inclusive from 0).
    Int16Table<25, 3> AnaData{};   // (ch, 1) count, (ch, 2) millivolts
    Int16Table<9, 3> DigData{};    // (n, 0) line state, (n, 2) bit mask
    Int16Table<5, 6> DacData{};    // (c, 0) range bit, (c, 1) code, (c, 2) millivolts
    std::array<std::int16_t, 18> PortExists{};
    // Why each port could not be opened by the probe (None where it could).
    std::array<PortProblem, 18> PortFault{};

    // --- Serial link set-up and port discovery.
    void InitSerialLink();
    void ScanComPorts();
    void ShowDsrLamp();
    void ShowCtsLamp();
    // The port opening that the main window's load handler runs once it is
    // shown: falls back to the settings dialog when no port exists or no module
    // holds DSR and CTS, then paints the line lamps.
    void OpenPortAtStartup();

    // --- Command protocol.
    void SendCommand();
    void RequestAnalog();
    void RequestDigital();
    void NormalizeDacText();
    void SetAnalogOutput();
    // The digital output line at this level (0 or 1), nothing read back.
    void SendOutputLine(int level);
    // The output line set, then the lines read back, so that the shared state
    // shows what the module reports rather than what was asked for.
    void SetOutputLine(int level);

    // --- Reply reception and decoding.
    void ReceiveReply();
    void ShowDigitalInputs();
    void ShowAnalogValues();

    // The deadline of the reply awaited, ms; 0 when none is.
    int ReplyDeadlineMs() const { return m_replyDeadline.isActive() ? m_replyDeadline.interval() : 0; }
    // While a reply is awaited, ns until it should be complete on the wire
    // (negative once that time has passed); nothing when none is awaited.
    std::optional<qint64> nsUntilReplyExpected() const;

    SerialControl& comm() { return m_comm; }
    LinkViews& views() { return m_views; }

    // The one told how each reply ended (none: nobody is); it must outlive
    // this or be taken off with nullptr first.
    void setReplyObserver(ReplyObserver* observer) { m_observer = observer; }

private:
    // Returns how many were dropped.
    qint64 dropStrayBytes();
    void armReplyDeadline(int commandBytes, int replyBytes);
    void replyComplete();
    // Reception Idle with no reply awaited; a digital read due in this cycle
    // is done with too (the next cycle asks again).
    void GiveReplyUp();
    void ReplyMissed();
    void PortLost();
    void PortReturned();
    void tell(ReplyObserver::End how);

    SerialControl& m_comm;
    LinkViews& m_views;
    QTimer m_replyDeadline;
    QElapsedTimer m_requestSent;
    qint64 m_replyWireNs = 0;
    ReplyObserver* m_observer = nullptr;
};
