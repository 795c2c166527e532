#pragma once

// Starts the whole program exactly as ZOLTrc does, on the scripted serial
// control, and reaches its windows' controls by name.

#include "app/Form1.h"
#include "app/ZoltProgram.h"
#include "link/Module1.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/ProgramInvariants.h"
#include "tests/support/Wait.h"
#include "widgets/IndexedName.h"
#include "widgets/Lamp.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

class ProgramRig {
public:
    explicit ProgramRig(const QSet<int>& ports = {2}, bool cts = true, bool dsr = true)
    {
        auto control = std::make_unique<FakeSerialControl>();
        comm = control.get();
        comm->setExistingPorts(ports);
        comm->setLines(cts, dsr);
        program = std::make_unique<ZoltProgram>(std::move(control), [this] { ++ended; });
        invariants = std::make_unique<ProgramInvariants>(*program, *comm);
    }

    void start()
    {
        program->start();
        settle();
        comm->clearWritten();
    }

    Module1& m() { return program->module(); }
    Form1& form() { return program->form1(); }

    template <typename T = QWidget>
    T* find(const QString& name)
    {
        return findControl<T>(form(), name);
    }
    QPushButton* button(const QString& name) { return find<QPushButton>(name); }
    Lamp* lamp(const QString& name) { return find<Lamp>(name); }
    QString text(const QString& name) { return find<QLineEdit>(name)->text(); }
    QAction* action(const QString& name) { return find<QAction>(name); }

    void click(const QString& name)
    {
        QTest::mouseClick(button(name), Qt::LeftButton);
        settle();
    }
    void choose(const QString& menuItem)
    {
        action(menuItem)->trigger();
        settle();
    }
    // Bytes from the module, and every event they cause handled.
    void reply(const QByteArray& bytes)
    {
        comm->feed(bytes);
        settle();
    }
    // Waits until every serial event the last action raised has been handled
    // (the control delivers them one per pass of the event loop).
    // Then what must hold between any two steps of the program, as the fuzz
    // target checks it, unless the program has ended.
    void settle() const
    {
        QVERIFY(testwait::settled(*comm));
        if (ended == 0) {
            const QString broken = invariants->broken();
            QVERIFY2(broken.isEmpty(), qPrintable(broken));
        }
    }

    FakeSerialControl* comm = nullptr;
    std::unique_ptr<ZoltProgram> program;
    std::unique_ptr<ProgramInvariants> invariants;
    int ended = 0;
};
