// The whole program, started as ZOLTrc starts it, on the scripted serial
// control. The input is a script: which ports exist and how the module holds
// its lines, then steps (bytes from the module, clicks, menu choices, line
// changes, the adapter pulled and put back, timer ticks, the analog output
// window) and the settings dialog's answers whenever it comes up. After every
// step the shared state must lie in range and the windows must show only what
// the program can show; anything else aborts.

#include "fuzz/FuzzCheck.h"

#include "app/Form1.h"
#include "app/ZoltProgram.h"
#include "link/Module1.h"
#include "link/NumberText.h"
#include "link/Protocol.h"
#include "tests/support/FakeSerialControl.h"
#include "ui/DispForm.h"
#include "ui/Form3.h"
#include "ui/SerialMenu.h"
#include "ui/frmAbout.h"
#include "widgets/Lamp.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>

namespace {

constexpr int kMaxSteps = 256;
constexpr int kSettleRounds = 20;   // each serial event is delivered in its own round
constexpr int kWatchSlackMs = 200;  // beyond the port watch's own period, for a loaded machine

constexpr std::array<Colour, 4> kLampColours{kColRed, kColGreen, kColYellow, kColBlack};
constexpr std::array<int, 4> kTimerIntervalsMs{1, 500, 1000, 10000};
const char* const kMenuItems[] = {"MaxSamp", "Halfsec", "onesec", "tensec", "Dighi",
                                  "DigLo",   "SetComMenu", "SelDisp", "AnamenFrm", "showabout"};

// Keys typed into the analog output text: the 95 printable ASCII characters
// and a few that edit or confirm.
constexpr int kPrintableKeys = 95;
constexpr std::array<Qt::Key, 5> kOtherKeys{Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Delete, Qt::Key_Left,
                                            Qt::Key_Home};

constexpr int kFirstLine = 3;   // the digital input lines shown
constexpr int kLastLine = 5;
// Locked while sampling runs, in the order start disables them.
const char* const kLockedButtons[] = {"Command7", "Command1", "Command12", "Command13", "Command3"};

QString indexed(const char* name, int i)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

void settle()
{
    for (int i = 0; i < kSettleRounds; ++i)
        QCoreApplication::processEvents();
}

template <typename T>
T* child(QObject& parent, const QString& name)
{
    T* w = parent.findChild<T*>(name);
    FUZZ_CHECK(w, "no control %s", qPrintable(name));
    return w;
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

class Script {
public:
    Script(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool done() const { return m_pos >= m_size; }
    // Past the end every byte reads 0, so every question still has an answer.
    int next() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    QByteArray take(int count)
    {
        QByteArray bytes;
        for (int i = 0; i < count; ++i)
            bytes.append(static_cast<char>(next()));
        return bytes;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

class Run : public QObject {
public:
    explicit Run(Script& script) : m_script(script)
    {
        const int portBits = m_script.next() | m_script.next() << 8;
        const int busyBits = m_script.next();
        const int lines = m_script.next();
        for (int port = SerialControl::kMinPort; port <= SerialControl::kMaxPort; ++port)
            if (portBits & (1 << (port - 1)))
                m_existing.insert(port);
        for (int port = 1; port <= 8; ++port)
            if (busyBits & (1 << (port - 1)))
                m_busy.insert(port);

        auto control = std::make_unique<FakeSerialControl>();
        m_comm = control.get();
        m_comm->setExistingPorts(m_existing);
        m_comm->setBusyPorts(m_busy);
        m_comm->setLines(lines & 1, lines & 2);
        m_program = std::make_unique<ZoltProgram>(std::move(control), [this] { m_ended = true; });
        qApp->installEventFilter(this);

        // The main window lives as long as the run: find its controls once.
        Form1& f = m_program->form1();
        m_lamps = f.findChildren<Lamp*>();
        for (int ch = 0; ch <= protocol::kMaxAnalogChannel; ++ch) {
            m_adCmdBut[ch] = child<QPushButton>(f, indexed("ADCmdbut", ch));
            m_adValTxt[ch] = child<QLineEdit>(f, indexed("ADValTxt", ch));
            m_volValTxt[ch] = child<QLineEdit>(f, indexed("VolValTxt", ch));
        }
        for (int line = kFirstLine; line <= kLastLine; ++line) {
            m_dinTxt[line - kFirstLine] = child<QLineEdit>(f, indexed("DinTxt", line));
            m_dLite[line - kFirstLine] = child<Lamp>(f, indexed("DLite", line));
        }
        for (int i = 0; i < 2; ++i)
            m_samLite[i] = child<Lamp>(f, indexed("SamLite", i));
        m_lite1 = child<Lamp>(f, QStringLiteral("Lite1"));
        m_lite3 = child<Lamp>(f, QStringLiteral("Lite3"));
        for (std::size_t i = 0; i < std::size(kLockedButtons); ++i)
            m_locked[i] = child<QPushButton>(f, QLatin1String(kLockedButtons[i]));
        m_stop = child<QPushButton>(f, QStringLiteral("Command6"));
        m_command7 = m_locked[0];

        // The look the lamps are laid out with counts as a value they may keep.
        for (const Lamp* lamp : m_lamps)
            if (lamp->painted())
                m_laidOut[lamp] = lamp->colour();
    }

    ~Run() override
    {
        qApp->removeEventFilter(this);
        m_program.reset();
        settle();
    }

    void play()
    {
        m_program->start();
        settle();
        check("start-up");
        for (int step = 0; step < kMaxSteps && !m_ended && !m_script.done(); ++step) {
            const char* what = playStep(m_script.next());
            settle();
            check(what);
        }
    }

protected:
    // The settings dialog is modal: answer it from inside its own event loop.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto* dialog = qobject_cast<SerialMenu*>(watched)) {
                QPointer<SerialMenu> shown(dialog);
                QTimer::singleShot(0, dialog, [this, shown] {
                    if (shown && shown->isVisible())
                        answerDialog(*shown);
                });
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Module1& m() { return m_program->module(); }
    Form1& form() { return m_program->form1(); }

    void click(QWidget& parent, const QString& name)
    {
        QTest::mouseClick(child<QPushButton>(parent, name), Qt::LeftButton);
    }

    const char* playStep(int op)
    {
        switch (op % 32) {
        case 0: case 1: case 2: case 3: case 4: case 5: case 6: case 7:
            m_comm->feed(m_script.take(m_script.next() % 16 + 1));
            return "bytes from the module";
        case 8:
            click(form(), indexed("ADCmdbut", m_script.next() % 7));
            return "channel button";
        case 9:
            click(form(), QStringLiteral("Command3"));
            return "A/D-in";
        case 10:
            click(form(), QStringLiteral("Command13"));
            return "D-in";
        case 11:
            click(form(), QStringLiteral("Command1"));
            return "On/Off";
        case 12:
            click(form(), QStringLiteral("Command7"));
            return "D-On/D-Off";
        case 13:
            click(form(), QStringLiteral("Command12"));
            return "start";
        case 14:
            click(form(), QStringLiteral("Command6"));
            return "stop";
        case 15:
            child<QAction>(form(), QLatin1String(kMenuItems[m_script.next() % std::size(kMenuItems)]))->trigger();
            return "menu item";
        case 16: {
            const int lines = m_script.next();
            m_comm->setLines(lines & 1, lines & 2);
            return "line change";
        }
        case 17:
            unplug();
            return "unplug";
        case 18:
            replug();
            return "replug";
        case 19: case 20: case 21:
            // The sampling timer's tick, without waiting its interval out.
            if (form().Timer1().isActive())
                form().Timer1_Timer();
            return "timer tick";
        case 22: case 23: case 24:
            analogOutputStep();
            return "analog output window";
        case 25:
            closeSecondaryWindow();
            return "close a window";
        case 26:
            // Rarely: most scripts should go on past it.
            if (m_script.next() % 4 == 0)
                click(form(), QStringLiteral("Command4"));
            return "exit";
        default:
            answerPendingRequest();
            return "reply to the request";
        }
    }

    // A well-formed reply to whatever was asked, so that scripts get past the
    // first reading.
    void answerPendingRequest()
    {
        if (m().RxMode == kRxAnalog)
            m_comm->feed(m_script.take(protocol::kBytesPerReading * (std::max(m().RxChan, 0) + 1)));
        else if (m().RxMode == kRxDigital)
            m_comm->feed(m_script.take(protocol::kDigitalReplyBytes));
    }

    // The adapter pulled out, open or not.
    void unplug()
    {
        const int port = m_comm->CommPort();
        if (!m_existing.contains(port))
            return;
        m_existing.remove(port);
        m_lost.insert(port);
        m_comm->unplug();
    }

    // The adapter put back under the same name.
    void replug()
    {
        if (m_lost.isEmpty())
            return;
        m_existing += m_lost;
        m_lost.clear();
        m_comm->setExistingPorts(m_existing);
        reopenAfterReturn();
    }

    // A port lost while open is watched for, and reopened by the program once
    // the device is back: wait for that, two looks at most. A port that was
    // closed when it went, or whose watch the user ended, the user reopens:
    // Set RS232, then OK (while sampling runs that menu item does nothing).
    void reopenAfterReturn()
    {
        if (m_comm->watchingForReturn()) {
            QEventLoop wait;
            QObject::connect(m_comm, &SerialControl::portReturned, &wait, &QEventLoop::quit);
            QTimer::singleShot(2 * SerialControl::kReturnWatchMs + kWatchSlackMs, &wait, &QEventLoop::quit);
            wait.exec();
            if (!m_busy.contains(m_comm->CommPort()))
                FUZZ_CHECK(m_comm->PortOpen() && !m_comm->watchingForReturn(),
                           "the device came back but the port was not reopened");
            return;
        }
        m_answerOkOnly = true;
        child<QAction>(form(), QStringLiteral("SetComMenu"))->trigger();
        m_answerOkOnly = false;
    }

    void answerDialog(SerialMenu& dialog)
    {
        if (!m_answerOkOnly) {
            for (int clicks = m_script.next() % 4; clicks > 0; --clicks) {
                const int choice = m_script.next();
                const QString name = choice & 1 ? indexed("ComSel", 1 + (choice >> 1) % SerialControl::kMaxPort)
                                                : QStringLiteral("Option%1").arg(1 + (choice >> 1) % 3);
                QTest::mouseClick(child<QAbstractButton>(dialog, name), Qt::LeftButton);
            }
        }
        switch (m_answerOkOnly ? 0 : m_script.next() % 3) {
        case 0:
            click(dialog, QStringLiteral("Command1"));
            break;
        case 1:
            click(dialog, QStringLiteral("Command2"));
            break;
        default:
            dialog.close();   // the title bar's close button
            break;
        }
        FUZZ_CHECK(!dialog.isVisible(), "the settings dialog stayed up after it was answered");
    }

    void analogOutputStep()
    {
        if (!m_program->hasForm3() || !m_program->form3().isVisible())
            return;
        Form3& window = m_program->form3();
        switch (m_script.next() % 6) {
        case 0:
            click(window, indexed("ChCmd", m_script.next() % protocol::kDacChannels));
            break;
        case 1: {
            // Typing goes through the window's filter, so any key may be pressed.
            auto* text1 = child<QLineEdit>(window, QStringLiteral("Text1"));
            for (int keys = m_script.next() % 6; keys > 0; --keys) {
                const int key = m_script.next() % 100;
                if (key < kPrintableKeys)
                    QTest::keyClick(text1, static_cast<char>(' ' + key));
                else
                    QTest::keyClick(text1, kOtherKeys[key - kPrintableKeys]);
            }
            break;
        }
        case 2:
            // Pasted text reaches the box unfiltered.
            child<QLineEdit>(window, QStringLiteral("Text1"))
                ->setText(QString::fromLatin1(m_script.take(m_script.next() % 6)));
            break;
        case 3:
            click(window, QStringLiteral("Command2"));
            break;
        case 4: {
            auto* slider = child<QSlider>(window, m_script.next() & 1 ? QStringLiteral("Slider1")
                                                                      : QStringLiteral("Slider2"));
            slider->setValue(slider->minimum()
                             + m_script.next() * (slider->maximum() - slider->minimum()) / 255);
            break;
        }
        default:
            click(window, QStringLiteral("Command1"));   // Done
            break;
        }
    }

    // Done on the echo window, or the window system closing one of the others.
    void closeSecondaryWindow()
    {
        switch (m_script.next() % 3) {
        case 0:
            if (m_program->hasDispForm() && m_program->dispForm().isVisible())
                click(m_program->dispForm(), QStringLiteral("Command1"));
            break;
        case 1:
            if (m_program->hasForm3())
                m_program->form3().close();
            break;
        default:
            if (m_program->hasAbout())
                m_program->about().close();
            break;
        }
    }

    // ------------------------------------------------------------ properties

    void check(const char* after)
    {
        if (m_ended)
            return;
        checkState(after);
        checkMainWindow(after);
        checkAnalogOutputWindow(after);
    }

    void checkState(const char* after)
    {
        Module1& s = m();
        FUZZ_CHECK(s.RxMode == kRxIdle || s.RxMode == kRxDigital || s.RxMode == kRxAnalog, "after %s: RxMode %d",
                   after, s.RxMode);
        FUZZ_CHECK(s.RxChan >= -1 && s.RxChan <= protocol::kMaxAnalogChannel, "after %s: RxChan %d", after,
                   s.RxChan);
        FUZZ_CHECK(s.TopChan >= 0 && s.TopChan <= protocol::kMaxAnalogChannel, "after %s: TopChan %d", after,
                   s.TopChan);
        if (s.RxMode == kRxAnalog)
            FUZZ_CHECK(s.RxChan >= 0 && s.RxChan <= s.TopChan, "after %s: awaiting channel %d of 0..%d", after,
                       s.RxChan, s.TopChan);
        if (s.RxMode == kRxDigital)
            FUZZ_CHECK(s.RxChan == 0, "after %s: digital reply awaited with RxChan %d", after, s.RxChan);
        FUZZ_CHECK(s.DinMode >= 0 && s.DinMode <= 2, "after %s: DinMode %d", after, int(s.DinMode));
        FUZZ_CHECK(s.Sampling == 0 || s.Sampling == 1, "after %s: Sampling %d", after, s.Sampling);
        FUZZ_CHECK(s.SampCount >= 0, "after %s: SampCount %lld", after, s.SampCount);
        FUZZ_CHECK(s.DacChan >= 0 && s.DacChan < protocol::kDacChannels, "after %s: DacChan %d", after, s.DacChan);
        FUZZ_CHECK(s.SelPort >= 0 && s.SelPort <= SerialControl::kMaxPort, "after %s: SelPort %d", after,
                   s.SelPort);
        for (int c = 0; c < protocol::kDacChannels; ++c) {
            const auto& d = s.DacData[c];
            FUZZ_CHECK((d[0] == 0 || d[0] == 1) && d[1] >= 0 && d[1] <= 255 && d[2] >= 0
                           && d[2] <= protocol::kDacMaxMillivolts && d[0] == (d[2] > protocol::kDacLowRangeTop),
                       "after %s: DacData(%d) %d %d %d", after, c, d[0], d[1], d[2]);
        }
        for (int ch = 0; ch <= protocol::kMaxAnalogChannel; ++ch)
            FUZZ_CHECK(s.AnaData[ch][1] >= 0 && s.AnaData[ch][1] <= protocol::kMaxCount,
                       "after %s: AnaData(%d, 1) %d", after, ch, s.AnaData[ch][1]);

        const QTimer& timer = form().Timer1();
        FUZZ_CHECK(std::find(kTimerIntervalsMs.begin(), kTimerIntervalsMs.end(), timer.interval())
                       != kTimerIntervalsMs.end(),
                   "after %s: timer interval %d ms", after, timer.interval());
        FUZZ_CHECK(!timer.isActive() || s.Sampling == 1, "after %s: sampling timer on while stopped", after);
        // While sampling runs on an open port, a cycle is always under way:
        // a reply awaited (it has a deadline) or the pause before the next.
        if (s.Sampling == 1 && m_comm->PortOpen())
            FUZZ_CHECK(timer.isActive() || s.RxMode != kRxIdle, "after %s: sampling stalled", after);
    }

    void checkMainWindow(const char* after)
    {
        Module1& s = m();
        for (const Lamp* lamp : m_lamps) {
            if (!lamp->painted())
                continue;
            const Colour c = lamp->colour();
            const auto laidOut = m_laidOut.find(lamp);
            const bool valid = std::find(kLampColours.begin(), kLampColours.end(), c) != kLampColours.end()
                               || (laidOut != m_laidOut.end() && laidOut->second == c);
            FUZZ_CHECK(valid, "after %s: lamp %s painted %06x", after, qPrintable(lamp->objectName()), c);
        }

        for (int ch = 0; ch <= protocol::kMaxAnalogChannel; ++ch) {
            const QString counts = m_adValTxt[ch]->text();
            const QString millivolts = m_volValTxt[ch]->text();
            int count = 0;
            int mv = 0;
            const bool countShown = isNumberIn(counts, 0, protocol::kMaxCount, &count);
            const bool mvShown = isNumberIn(millivolts, 0, 5000, &mv);
            FUZZ_CHECK(countShown || counts.isEmpty(), "after %s: ADValTxt(%d) \"%s\"", after, ch,
                       qPrintable(counts));
            FUZZ_CHECK(mvShown || millivolts.isEmpty(), "after %s: VolValTxt(%d) \"%s\"", after, ch,
                       qPrintable(millivolts));
            // Both boxes of a channel are written together, from one count.
            FUZZ_CHECK(countShown == mvShown && (!countShown || mv == protocol::countToMillivolts(count)),
                       "after %s: channel %d shows \"%s\" and \"%s\"", after, ch, qPrintable(counts),
                       qPrintable(millivolts));
        }

        for (int line = kFirstLine; line <= kLastLine; ++line) {
            const QString text = m_dinTxt[line - kFirstLine]->text();
            FUZZ_CHECK(text.isEmpty() || text == u"0" || text == u"1", "after %s: DinTxt(%d) \"%s\"", after, line,
                       qPrintable(text));
            if (!text.isEmpty()) {
                const Colour lamp = m_dLite[line - kFirstLine]->colour();
                FUZZ_CHECK(lamp == (text == u"1" ? kColGreen : kColBlack), "after %s: DLite(%d) %06x beside \"%s\"",
                           after, line, lamp, qPrintable(text));
            }
        }

        // The two line lamps show the two lines (whichever lamp shows which).
        {
            const Colour lite1 = m_lite1->colour();
            const Colour lite3 = m_lite3->colour();
            FUZZ_CHECK((lite1 == kColGreen || lite1 == kColBlack) && (lite3 == kColGreen || lite3 == kColBlack),
                       "after %s: line lamps %06x %06x", after, lite1, lite3);
            const int lampsOn = (lite1 == kColGreen) + (lite3 == kColGreen);
            const int linesUp = int(m_comm->CTSHolding()) + int(m_comm->DSRHolding());
            FUZZ_CHECK(lampsOn == linesUp, "after %s: %d line lamps green, %d lines up", after, lampsOn, linesUp);
        }

        const bool stopped = s.Sampling == 0;
        for (int i = 0; i <= protocol::kMaxAnalogChannel; ++i)
            FUZZ_CHECK(m_adCmdBut[i]->isEnabled() == stopped,
                       "after %s: ADCmdbut(%d) enabled %d with Sampling %d", after, i,
                       int(!stopped), s.Sampling);
        for (std::size_t i = 0; i < std::size(kLockedButtons); ++i)
            FUZZ_CHECK(m_locked[i]->isEnabled() == stopped, "after %s: %s enabled with Sampling %d", after,
                       kLockedButtons[i], s.Sampling);
        FUZZ_CHECK(m_stop->isEnabled(), "after %s: stop disabled", after);
        const QString d = m_command7->text();
        FUZZ_CHECK(d == (s.DinMode > 0 ? u"D-Off" : u"D-On"), "after %s: \"%s\" with DinMode %d", after,
                   qPrintable(d), int(s.DinMode));
        if (!stopped) {
            FUZZ_CHECK(m_samLite[1]->colour() == kColGreen, "after %s: sampling lamp", after);
            FUZZ_CHECK(m_samLite[0]->colour() == (s.DinMode > 0 ? kColGreen : kColBlack),
                       "after %s: digital sampling lamp with DinMode %d", after, int(s.DinMode));
        }
    }

    void checkAnalogOutputWindow(const char* after)
    {
        if (!m_program->hasForm3())
            return;
        Form3& w = m_program->form3();
        const QString text1 = child<QLineEdit>(w, QStringLiteral("Text1"))->text();
        FUZZ_CHECK(text1.size() <= 4, "after %s: Text1 \"%s\"", after, qPrintable(text1));
        const QString range = child<QLabel>(w, indexed("AnaOut", 0))->text();
        const QString code = child<QLabel>(w, indexed("AnaOut", 1))->text();
        const QString mv = child<QLabel>(w, indexed("AnaOut", 2))->text();
        const bool fresh = range == u"0" && code == u"000" && mv == u"0000";
        int r = 0;
        int v = 0;
        const bool set = isNumberIn(range, 0, 1, &r) && isNumberIn(code, 0, 255)
                         && isNumberIn(mv, 0, protocol::kDacMaxMillivolts, &v);
        FUZZ_CHECK(fresh || (set && r == (v > protocol::kDacLowRangeTop)), "after %s: AnaOut \"%s\" \"%s\" \"%s\"",
                   after, qPrintable(range), qPrintable(code), qPrintable(mv));
        const QString chbox = child<QLineEdit>(w, QStringLiteral("Chbox"))->text();
        FUZZ_CHECK(chbox.isEmpty() || isNumberIn(chbox, 0, protocol::kDacChannels - 1), "after %s: Chbox \"%s\"",
                   after, qPrintable(chbox));
    }

    Script& m_script;
    FakeSerialControl* m_comm = nullptr;
    std::unique_ptr<ZoltProgram> m_program;
    bool m_ended = false;
    bool m_answerOkOnly = false;
    QSet<int> m_existing;
    QSet<int> m_lost;
    QSet<int> m_busy;
    std::map<const Lamp*, Colour> m_laidOut;

    QList<Lamp*> m_lamps;
    std::array<QPushButton*, protocol::kMaxAnalogChannel + 1> m_adCmdBut{};
    std::array<QLineEdit*, protocol::kMaxAnalogChannel + 1> m_adValTxt{};
    std::array<QLineEdit*, protocol::kMaxAnalogChannel + 1> m_volValTxt{};
    std::array<QLineEdit*, kLastLine - kFirstLine + 1> m_dinTxt{};
    std::array<Lamp*, kLastLine - kFirstLine + 1> m_dLite{};
    std::array<Lamp*, 2> m_samLite{};
    Lamp* m_lite1 = nullptr;
    Lamp* m_lite3 = nullptr;
    std::array<QPushButton*, std::size(kLockedButtons)> m_locked{};
    QPushButton* m_stop = nullptr;
    QPushButton* m_command7 = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // One application for the whole process, without a display.
    // Qt gets its own argument list: the fuzzer's options are not for it.
    (void)argc;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    static char* qtArgv[] = {(*argv)[0], nullptr};
    // Never destroyed: Qt's own globals go first at exit, and an application
    // object outliving them crashes there.
    static QApplication* const app = new QApplication(qtArgc, qtArgv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Script script(data, size);
    Run run(script);
    run.play();
    return 0;
}
