#include "tests/support/ProgramInvariants.h"

#include "app/Form1.h"
#include "app/ZoltProgram.h"
#include "link/Module1.h"
#include "link/NumberText.h"
#include "link/SerialControl.h"
#include "tests/support/Controls.h"
#include "ui/Form3.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

namespace {

#define INVARIANT(condition, ...)                                 \
    do {                                                          \
        if (!(condition))                                         \
            return QString::asprintf(__VA_ARGS__);                \
    } while (false)

constexpr std::array<Colour, 4> kLampColours{kColRed, kColGreen, kColYellow, kColBlack};
constexpr std::array<int, 4> kTimerIntervalsMs{1, 500, 1000, 10000};
// Locked while sampling runs, in the order start disables them.
const char* const kLockedButtons[] = {"Command7", "Command1", "Command12", "Command13", "Command3"};

QString indexed(const char* name, int i)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

// Whether text is the number-to-text form of a number in first..last.
bool isNumberIn(const QString& text, int first, int last, int* value = nullptr)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    // toInt also takes "+5", " 05" and "5": only the program's own form counts.
    if (!ok || v < first || v > last || text != numberText(v))
        return false;
    if (value)
        *value = v;
    return true;
}

} // namespace

ProgramInvariants::ProgramInvariants(ZoltProgram& program, const SerialControl& comm)
    : m_program(program)
    , m_comm(comm)
{
    // The main window lives as long as the program: find its controls once.
    Form1& f = m_program.form1();
    m_lamps = f.findChildren<Lamp*>();
    for (int ch = 0; ch <= protocol::kMaxAnalogChannel; ++ch) {
        m_adCmdBut[ch] = findControl<QPushButton>(f, indexed("ADCmdbut", ch));
        m_adValTxt[ch] = findControl<QLineEdit>(f, indexed("ADValTxt", ch));
        m_volValTxt[ch] = findControl<QLineEdit>(f, indexed("VolValTxt", ch));
    }
    for (int line = kFirstLine; line <= kLastLine; ++line) {
        m_dinTxt[line - kFirstLine] = findControl<QLineEdit>(f, indexed("DinTxt", line));
        m_dLite[line - kFirstLine] = findControl<Lamp>(f, indexed("DLite", line));
    }
    for (int i = 0; i < 2; ++i)
        m_samLite[i] = findControl<Lamp>(f, indexed("SamLite", i));
    m_lite1 = findControl<Lamp>(f, QStringLiteral("Lite1"));
    m_lite3 = findControl<Lamp>(f, QStringLiteral("Lite3"));
    static_assert(std::size(kLockedButtons) == std::tuple_size_v<decltype(m_locked)>);
    for (std::size_t i = 0; i < std::size(kLockedButtons); ++i)
        m_locked[i] = findControl<QPushButton>(f, QLatin1String(kLockedButtons[i]));
    m_stop = findControl<QPushButton>(f, QStringLiteral("Command6"));
    m_command7 = m_locked[0];

    for (const Lamp* lamp : m_lamps)
        if (lamp->painted())
            m_laidOut[lamp] = lamp->colour();
}

QString ProgramInvariants::broken() const
{
    QString what = brokenState();
    if (what.isEmpty())
        what = brokenMainWindow();
    if (what.isEmpty())
        what = brokenAnalogOutputWindow();
    return what;
}

QString ProgramInvariants::brokenState() const
{
    const Module1& s = m_program.module();
    INVARIANT(s.RxMode == kRxIdle || s.RxMode == kRxDigital || s.RxMode == kRxAnalog, "RxMode %d", s.RxMode);
    INVARIANT(s.RxChan >= -1 && s.RxChan <= protocol::kMaxAnalogChannel, "RxChan %d", s.RxChan);
    INVARIANT(s.TopChan >= 0 && s.TopChan <= protocol::kMaxAnalogChannel, "TopChan %d", s.TopChan);
    if (s.RxMode == kRxAnalog)
        INVARIANT(s.RxChan >= 0 && s.RxChan <= s.TopChan, "awaiting channel %d of 0..%d", s.RxChan, s.TopChan);
    if (s.RxMode == kRxDigital)
        INVARIANT(s.RxChan == 0, "digital reply awaited with RxChan %d", s.RxChan);
    INVARIANT(s.DinMode >= 0 && s.DinMode <= 2, "DinMode %d", int(s.DinMode));
    INVARIANT(s.Sampling == 0 || s.Sampling == 1, "Sampling %d", s.Sampling);
    INVARIANT(s.SampCount >= 0, "SampCount %lld", s.SampCount);
    INVARIANT(s.DacChan >= 0 && s.DacChan < protocol::kDacChannels, "DacChan %d", s.DacChan);
    INVARIANT(s.SelPort >= 0 && s.SelPort <= SerialControl::kMaxPort, "SelPort %d", s.SelPort);
    for (int c = 0; c < protocol::kDacChannels; ++c) {
        const auto& d = s.DacData[c];
        INVARIANT((d[0] == 0 || d[0] == 1) && d[1] >= 0 && d[1] <= 255 && d[2] >= 0
                       && d[2] <= protocol::kDacMaxMillivolts && d[0] == (d[2] > protocol::kDacLowRangeTop),
                   "DacData(%d) %d %d %d", c, d[0], d[1], d[2]);
    }
    for (int ch = 0; ch <= protocol::kMaxAnalogChannel; ++ch)
        INVARIANT(s.AnaData[ch][1] >= 0 && s.AnaData[ch][1] <= protocol::kMaxCount,
                   "AnaData(%d, 1) %d", ch, s.AnaData[ch][1]);

    const QTimer& timer = m_program.form1().Timer1();
    INVARIANT(std::find(kTimerIntervalsMs.begin(), kTimerIntervalsMs.end(), timer.interval())
                   != kTimerIntervalsMs.end(),
               "timer interval %d ms", timer.interval());
    INVARIANT(!timer.isActive() || s.Sampling == 1, "sampling timer on while stopped");
    // While sampling runs on an open port, a cycle is always under way:
    // a reply awaited (it has a deadline) or the pause before the next.
    if (s.Sampling == 1 && m_comm.PortOpen())
        INVARIANT(timer.isActive() || s.RxMode != kRxIdle, "sampling stalled");
    return {};
}

QString ProgramInvariants::brokenMainWindow() const
{
    const Module1& s = m_program.module();
    for (const Lamp* lamp : m_lamps) {
        if (!lamp->painted())
            continue;
        const Colour c = lamp->colour();
        const auto laidOut = m_laidOut.find(lamp);
        const bool valid = std::find(kLampColours.begin(), kLampColours.end(), c) != kLampColours.end()
                           || (laidOut != m_laidOut.end() && laidOut->second == c);
        INVARIANT(valid, "lamp %s painted %06x", qPrintable(lamp->objectName()), c);
    }

    for (int ch = 0; ch <= protocol::kMaxAnalogChannel; ++ch) {
        const QString counts = m_adValTxt[ch]->text();
        const QString millivolts = m_volValTxt[ch]->text();
        int count = 0;
        int mv = 0;
        const bool countShown = isNumberIn(counts, 0, protocol::kMaxCount, &count);
        const bool mvShown = isNumberIn(millivolts, 0, 5000, &mv);
        INVARIANT(countShown || counts.isEmpty(), "ADValTxt(%d) \"%s\"", ch,
                   qPrintable(counts));
        INVARIANT(mvShown || millivolts.isEmpty(), "VolValTxt(%d) \"%s\"", ch,
                   qPrintable(millivolts));
        // Both boxes of a channel are written together, from one count.
        INVARIANT(countShown == mvShown && (!countShown || mv == protocol::countToMillivolts(count)),
                   "channel %d shows \"%s\" and \"%s\"", ch, qPrintable(counts),
                   qPrintable(millivolts));
    }

    for (int line = kFirstLine; line <= kLastLine; ++line) {
        const QString text = m_dinTxt[line - kFirstLine]->text();
        INVARIANT(text.isEmpty() || text == u"0" || text == u"1", "DinTxt(%d) \"%s\"", line,
                   qPrintable(text));
        if (!text.isEmpty()) {
            const Colour lamp = m_dLite[line - kFirstLine]->colour();
            INVARIANT(lamp == (text == u"1" ? kColGreen : kColBlack), "DLite(%d) %06x beside \"%s\"", line, lamp, qPrintable(text));
        }
    }

    // The two line lamps show the two lines (whichever lamp shows which).
    {
        const Colour lite1 = m_lite1->colour();
        const Colour lite3 = m_lite3->colour();
        INVARIANT((lite1 == kColGreen || lite1 == kColBlack) && (lite3 == kColGreen || lite3 == kColBlack),
                   "line lamps %06x %06x", lite1, lite3);
        const int lampsOn = (lite1 == kColGreen) + (lite3 == kColGreen);
        const int linesUp = int(m_comm.CTSHolding()) + int(m_comm.DSRHolding());
        INVARIANT(lampsOn == linesUp, "%d line lamps green, %d lines up", lampsOn, linesUp);
    }

    const bool stopped = s.Sampling == 0;
    for (int i = 0; i <= protocol::kMaxAnalogChannel; ++i)
        INVARIANT(m_adCmdBut[i]->isEnabled() == stopped,
                   "ADCmdbut(%d) enabled %d with Sampling %d", i,
                   int(!stopped), s.Sampling);
    for (std::size_t i = 0; i < std::size(kLockedButtons); ++i)
        INVARIANT(m_locked[i]->isEnabled() == stopped, "%s enabled with Sampling %d", kLockedButtons[i], s.Sampling);
    INVARIANT(m_stop->isEnabled(), "stop disabled");
    const QString d = m_command7->text();
    INVARIANT(d == (s.DinMode > 0 ? u"D-Off" : u"D-On"), "\"%s\" with DinMode %d", qPrintable(d), int(s.DinMode));
    if (!stopped) {
        INVARIANT(m_samLite[1]->colour() == kColGreen, "sampling lamp");
        INVARIANT(m_samLite[0]->colour() == (s.DinMode > 0 ? kColGreen : kColBlack),
                   "digital sampling lamp with DinMode %d", int(s.DinMode));
    }
    return {};
}

QString ProgramInvariants::brokenAnalogOutputWindow() const
{
    if (!m_program.hasForm3())
        return {};
    Form3& w = m_program.form3();
    const QString text1 = findControl<QLineEdit>(w, QStringLiteral("Text1"))->text();
    INVARIANT(text1.size() <= 4, "Text1 \"%s\"", qPrintable(text1));
    const QString range = findControl<QLabel>(w, indexed("AnaOut", 0))->text();
    const QString code = findControl<QLabel>(w, indexed("AnaOut", 1))->text();
    const QString mv = findControl<QLabel>(w, indexed("AnaOut", 2))->text();
    const bool fresh = range == u"0" && code == u"000" && mv == u"0000";
    int r = 0;
    int v = 0;
    const bool set = isNumberIn(range, 0, 1, &r) && isNumberIn(code, 0, 255)
                     && isNumberIn(mv, 0, protocol::kDacMaxMillivolts, &v);
    INVARIANT(fresh || (set && r == (v > protocol::kDacLowRangeTop)), "AnaOut \"%s\" \"%s\" \"%s\"", qPrintable(range), qPrintable(code), qPrintable(mv));
    const QString chbox = findControl<QLineEdit>(w, QStringLiteral("Chbox"))->text();
    INVARIANT(chbox.isEmpty() || isNumberIn(chbox, 0, protocol::kDacChannels - 1), "Chbox \"%s\"", qPrintable(chbox));
    return {};
}

