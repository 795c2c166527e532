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
#include "tests/support/Controls.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/ProgramInvariants.h"
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

const char* const kMenuItems[] = {"MaxSamp", "Halfsec", "onesec", "tensec", "Dighi",
                                  "DigLo",   "SetComMenu", "SelDisp", "AnamenFrm", "showabout"};

// Keys typed into the analog output text: the 95 printable ASCII characters
// and a few that edit or confirm.
constexpr int kPrintableKeys = 95;
constexpr std::array<Qt::Key, 5> kOtherKeys{Qt::Key_Backspace, Qt::Key_Return, Qt::Key_Delete, Qt::Key_Left,
                                            Qt::Key_Home};

QString indexed(const char* name, int i)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

void settle()
{
    for (int i = 0; i < kSettleRounds; ++i)
        QCoreApplication::processEvents();
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

        m_invariants = std::make_unique<ProgramInvariants>(*m_program, *m_comm);
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
        QTest::mouseClick(findControl<QPushButton>(parent, name), Qt::LeftButton);
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
            findControl<QAction>(form(), QLatin1String(kMenuItems[m_script.next() % std::size(kMenuItems)]))->trigger();
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
        findControl<QAction>(form(), QStringLiteral("SetComMenu"))->trigger();
        m_answerOkOnly = false;
    }

    void answerDialog(SerialMenu& dialog)
    {
        if (!m_answerOkOnly) {
            for (int clicks = m_script.next() % 4; clicks > 0; --clicks) {
                const int choice = m_script.next();
                const QString name = choice & 1 ? indexed("ComSel", 1 + (choice >> 1) % SerialControl::kMaxPort)
                                                : QStringLiteral("Option%1").arg(1 + (choice >> 1) % 3);
                QTest::mouseClick(findControl<QAbstractButton>(dialog, name), Qt::LeftButton);
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
            auto* text1 = findControl<QLineEdit>(window, QStringLiteral("Text1"));
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
            findControl<QLineEdit>(window, QStringLiteral("Text1"))
                ->setText(QString::fromLatin1(m_script.take(m_script.next() % 6)));
            break;
        case 3:
            click(window, QStringLiteral("Command2"));
            break;
        case 4: {
            auto* slider = findControl<QSlider>(window, m_script.next() & 1 ? QStringLiteral("Slider1")
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

    void check(const char* after)
    {
        if (m_ended)
            return;
        const QString broken = m_invariants->broken();
        FUZZ_CHECK(broken.isEmpty(), "after %s: %s", after, qPrintable(broken));
    }

    Script& m_script;
    FakeSerialControl* m_comm = nullptr;
    std::unique_ptr<ZoltProgram> m_program;
    bool m_ended = false;
    bool m_answerOkOnly = false;
    QSet<int> m_existing;
    QSet<int> m_lost;
    QSet<int> m_busy;
    std::unique_ptr<ProgramInvariants> m_invariants;
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
