#pragma once

// The device link as zoltctl drives it: ZOLTrc's own Module1 and serial
// control, with views that show nothing. Module1 gives every read its
// deadline and drops what a missed reply left; this turns each read's end
// into one of three outcomes: replied, missed, or the port lost.

#include "front/LinkOptions.h"
#include "link/LinkViews.h"
#include "link/Module1.h"
#include "link/QtSerialControl.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

class SerialControl;

namespace front {

// Views with no windows behind them: the readings stay in Module1's arrays.
class HeadlessViews final : public LinkViews, MainPanel, PortChooser, EchoPanel {
public:
    // Called when reception is Idle again without a reply: a read missed.
    std::function<void()> onIdleAgain;

    MainPanel& mainPanel() override { return *this; }
    PortChooser& portChooser() override { return *this; }
    EchoPanel& echoPanel() override { return *this; }
    void showSettingsModal() override {}
    bool programEnded() const override { return false; }

private:
    void paintLite1(Colour) override {}
    void paintLite3(Colour) override {}
    void paintDLite(int, Colour) override {}
    void setDinTxt(int, const QString&) override {}
    void setADValTxt(int, const QString&) override {}
    void setVolValTxt(int, const QString&) override {}
    void resumeSampling() override
    {
        if (onIdleAgain)
            onIdleAgain();
    }
    void setComSelEnabled(int, bool) override {}
    void describeComSel(int, const QString&, PortProblem) override {}
    void selectComSel(int) override {}
    void selectBaudOption(int) override {}
    void setLabel1(const QByteArray&) override {}
    void setLabel2(const QString&) override {}
};

// Why the link could not be opened, with one line for the user.
struct LinkFailure {
    enum class Kind {
        Port,       // no such port, in use, not permitted
        NoModule,   // the port opened but DSR and CTS are not both held
    };
    Kind kind = Kind::Port;
    QString message;
};

// COM n to its device: deviceForComPort(), or, when the environment names a
// folder in ZOLTCTL_DEVICE_DIR, that folder's entry "COMn". The folder is for
// tests (symbolic links to pseudo-terminals) and for machines whose adapters
// have other names; it is read once, here.
QtSerialControl::DeviceMap comPortDevices();

// The port number a --device path stands in for.
inline constexpr int kDevicePort = 1;

class ModuleLink : public QObject {
    Q_OBJECT

public:
    enum class Outcome { Replied, Missed, Lost };

    explicit ModuleLink(std::unique_ptr<SerialControl> comm, QObject* parent = nullptr);
    ~ModuleLink() override;

    // The control the options ask for: the simulated module, or a real port
    // that can reach only the ports the options name.
    static std::unique_ptr<SerialControl> controlFor(const LinkOptions& options);

    Module1& module() { return m_module; }
    SerialControl& comm() { return *m_comm; }

    // The start-up probe of ZOLTrc, then the chosen port opened at the baud
    // rate asked for and, unless switched off, the module's presence checked.
    std::optional<LinkFailure> open(const LinkOptions& options);
    // "COM3 (/dev/ttyS2)", or the device alone when it was given by path.
    QString portLabel(int port) const;

    // A read with its deadline; replied(), missed() or lost() follows.
    void requestAnalog(int topChannel);
    void requestDigital();
    // The digital output line set, then the lines read back (as ZOLTrc's
    // Set High and Set Low do); replied(), missed() or lost() follows.
    void setOutputLine(bool high);
    // One analog output set; sent() follows once the bytes have left.
    void setAnalogOutput(int channel, int millivolts);

    // Runs the event loop until the read armed last has an outcome.
    Outcome awaitReply();
    // Runs the event loop until the output has drained, at most the time the
    // bytes need on the line plus the deadline's margin.
    bool awaitSent();

    long long missedReplies() const { return m_module.MissedReplies; }
    long long strayBytes() const { return m_module.StrayBytes; }

signals:
    void replied();
    void missed();
    void lost();
    void sent();

private:
    void onComm();
    void onMissed();
    void onLost();

    std::unique_ptr<SerialControl> m_comm;
    HeadlessViews m_views;
    Module1 m_module;
    int m_baud = 9600;
    bool m_awaiting = false;
    bool m_lost = false;
    bool m_byDevice = false;
};

} // namespace front
