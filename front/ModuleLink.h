#pragma once

// The module's port as a front end opens it: ZOLTrc's own Module1 and serial
// control, with views that show nothing, the start-up probe and the port the
// options name, opened and checked. Opened, it is handed to the acquisition
// core (acquisition::Acquisition over module()), which makes every exchange;
// this takes no event of the port itself.

#include "front/LinkOptions.h"
#include "link/LinkViews.h"
#include "link/Module1.h"
#include "link/QtSerialControl.h"

#include <memory>
#include <optional>

class SerialControl;

namespace front {

// Views with no windows behind them: the readings stay in Module1's arrays.
class HeadlessViews final : public LinkViews, MainPanel, PortChooser, EchoPanel {
public:
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

class ModuleLink {
public:
    explicit ModuleLink(std::unique_ptr<SerialControl> comm);
    ~ModuleLink();
    ModuleLink(const ModuleLink&) = delete;
    ModuleLink& operator=(const ModuleLink&) = delete;

    // The control the options ask for: the simulated module, or a real port
    // that can reach only the ports the options name.
    static std::unique_ptr<SerialControl> controlFor(const LinkOptions& options);

    Module1& module() { return m_module; }
    const Module1& module() const { return m_module; }
    SerialControl& comm() { return *m_comm; }

    // The start-up probe of ZOLTrc, then the chosen port opened at the baud
    // rate asked for and, unless switched off, the module's presence checked.
    std::optional<LinkFailure> open(const LinkOptions& options);
    // "COM3 (/dev/ttyS2)", or the device alone when it was given by path.
    QString portLabel(int port) const;
    // That of the port opened.
    QString portLabel() const { return portLabel(m_module.SelPort); }
    // The baud rate the port was opened at.
    int baud() const { return m_baud; }

private:
    std::unique_ptr<SerialControl> m_comm;
    HeadlessViews m_views;
    Module1 m_module;
    int m_baud = kDefaultBaud.rate;
    bool m_byDevice = false;
};

} // namespace front
