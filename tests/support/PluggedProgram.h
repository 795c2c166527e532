#pragma once

// The whole program on the QSerialPort control, with its port's device a
// symbolic link to the simulated module's pseudo-terminal: the module can be
// unplugged and plugged in again under the same name, as an adapter can.
// Header only; whoever includes it links the program and the simulated module
// (the end-to-end tests, and the recovery benchmark).

#include "app/Form1.h"
#include "app/ZoltProgram.h"
#include "link/QtSerialControl.h"
#include "sim/PtyModule.h"
#include "tests/support/Controls.h"

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

// A pseudo-terminal has no modem lines; the module's are high whenever its
// device is there. Counts the looks for a lost device (the looking is real).
class ModuleLinesControl : public QtSerialControl {
public:
    using QtSerialControl::QtSerialControl;
    mutable int looks = 0;

protected:
    bool ctsLine() const override { return PortOpen(); }
    bool dsrLine() const override { return PortOpen(); }
    bool devicePresent(int port) const override
    {
        ++looks;
        return QtSerialControl::devicePresent(port);
    }
};

struct PluggedProgram {
    static constexpr int kModulePort = 2;   // where the program looks first

    PluggedProgram()
    {
        link = dir.filePath(QStringLiteral("ttyZOLT"));
        plugIn();
        const QString device = link;
        auto control = std::make_unique<ModuleLinesControl>([device](int port) {
            return port == kModulePort ? device : QString();
        });
        comm = control.get();
        program = std::make_unique<ZoltProgram>(std::move(control), [] {});
        program->start();
    }

    // The module's device appears under the link's name.
    void plugIn()
    {
        module = std::make_unique<PtyModule>(ZoltWire::Timing::Wire);
        QFile::remove(link);
        QFile::link(module->devicePath(), link);
    }
    // It goes away, as an adapter pulled out.
    void pullOut()
    {
        module.reset();
        QFile::remove(link);
    }

    template <typename T>
    T* find(const QString& name)
    {
        return findControl<T>(program->form1(), name);
    }
    void click(const QString& name) { find<QPushButton>(name)->click(); }
    Module1& m() { return program->module(); }

    QTemporaryDir dir;
    QString link;
    std::unique_ptr<PtyModule> module;
    ModuleLinesControl* comm = nullptr;
    std::unique_ptr<ZoltProgram> program;
};
