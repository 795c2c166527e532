#pragma once

// What must hold between any two steps of the whole program, whatever came
// before: the shared state in range, the main window showing only what the
// program can show, and the analog output window likewise. The fuzz target
// checks them after every step; tests may check them after theirs.

#include <QList>
#include <QString>
#include <array>
#include <map>

#include "link/Protocol.h"
#include "widgets/Lamp.h"

class QLineEdit;
class QPushButton;
class SerialControl;
class ZoltProgram;

class ProgramInvariants {
public:
    // Made before the program starts: the look the lamps are laid out with
    // counts as one they may keep.
    ProgramInvariants(ZoltProgram& program, const SerialControl& comm);

    // Empty when all hold, else the first one broken, as one line.
    QString broken() const;

    static constexpr int kFirstLine = 3;   // the digital input lines shown
    static constexpr int kLastLine = 5;

private:
    QString brokenState() const;
    QString brokenMainWindow() const;
    QString brokenAnalogOutputWindow() const;

    ZoltProgram& m_program;
    const SerialControl& m_comm;
    std::map<const Lamp*, Lamp::Colour> m_laidOut;

    QList<Lamp*> m_lamps;
    std::array<QPushButton*, protocol::kMaxAnalogChannel + 1> m_adCmdBut{};
    std::array<QLineEdit*, protocol::kMaxAnalogChannel + 1> m_adValTxt{};
    std::array<QLineEdit*, protocol::kMaxAnalogChannel + 1> m_volValTxt{};
    std::array<QLineEdit*, kLastLine - kFirstLine + 1> m_dinTxt{};
    std::array<Lamp*, kLastLine - kFirstLine + 1> m_dLite{};
    std::array<Lamp*, 2> m_samLite{};
    Lamp* m_lite1 = nullptr;
    Lamp* m_lite3 = nullptr;
    std::array<QPushButton*, 5> m_locked{};
    QPushButton* m_stop = nullptr;
    QPushButton* m_command7 = nullptr;
};
