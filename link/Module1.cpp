#include "link/Module1.h"

#include "link/NumberText.h"
#include "link/PortNames.h"
#include "link/Protocol.h"
#include "link/ReplyDeadline.h"
#include "link/SerialControl.h"

namespace {

constexpr int kAnalogThreshold = protocol::kBytesPerReading;
constexpr int kDigitalThreshold = protocol::kDigitalReplyBytes;
constexpr int kFirstDigitalLineShown = 3;
constexpr int kLastDigitalLineShown = 5;

} // namespace

Module1::Module1(SerialControl& comm, LinkViews& views)
    : m_comm(comm)
    , m_views(views)
{
    m_replyDeadline.setSingleShot(true);
    m_replyDeadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_replyDeadline, &QTimer::timeout, &m_replyDeadline, [this] { ReplyMissed(); });
    QObject::connect(&m_comm, &SerialControl::portLost, &m_replyDeadline, [this] { PortLost(); });
    QObject::connect(&m_comm, &SerialControl::portReturned, &m_replyDeadline, [this] { PortReturned(); });
}

// ---------------------------------------------------------------- set-up

void Module1::InitSerialLink()
{
    ColRed = kColRed;
    ColBlack = kColBlack;
    ColYellow = kColYellow;
    ColGreen = kColGreen;

    m_comm.setInputLen(1);
    ScanComPorts();

    for (int n = 0; n <= 7; ++n)
        DigData[n][2] = static_cast<std::int16_t>(1 << n);

    Sampling = 0;
    TopChan = 0;
    RxChan = -1;

    m_comm.setInputLen(2);
    (void)m_comm.setCommPort(kDefaultCommPort);   // the port is closed here: always taken
    m_comm.setRTSEnable(true);
    m_comm.setDTREnable(true);
    m_comm.setSThreshold(1);
    m_comm.setRThreshold(1);
    (void)m_comm.setSettings(QLatin1String(kDefaultBaud.settings));   // a well-formed string
    OldSettings = m_comm.Settings();

    if (const int option = baudOptionForSettings(m_comm.Settings()))
        m_views.portChooser().selectBaudOption(option);

    m_comm.setHandshaking(SerialControl::Handshake::None);
    m_comm.setInputMode(SerialControl::InputMode::Binary);

    if (PortExists[2] == True) {
        SelPort = 2;
    } else if (PortExists[1] == True) {
        SelPort = 1;
    } else {
        for (int n = 3; n <= SerialControl::kMaxPort; ++n) {
            if (PortExists[n] == True) {
                SelPort = n;
                break;
            }
        }
    }
}

void Module1::ScanComPorts()
{
    for (int n = SerialControl::kMinPort; n <= SerialControl::kMaxPort; ++n) {
        PortExists[n] = True;
        // Each step may fail; the next one runs all the same.
        bool ok = m_comm.setCommPort(n);
        ok = m_comm.setPortOpen(true) && ok;
        const PortProblem why = ok ? PortProblem::None : m_comm.lastOpenProblem();
        ok = m_comm.setPortOpen(false) && ok;
        if (!ok) {
            PortExists[n] = False;
            PortFault[n] = why == PortProblem::None ? PortProblem::CannotOpen : why;
        } else {
            PortFault[n] = PortProblem::None;
        }
    }

    PortChooser& chooser = m_views.portChooser();
    for (int n = SerialControl::kMinPort; n <= SerialControl::kMaxPort; ++n) {
        chooser.describeComSel(n, m_comm.deviceName(n), PortFault[n]);
        if (PortExists[n] == True)
            LastPort = n;
        else
            chooser.setComSelEnabled(n, false);
    }
}

void Module1::OpenPortAtStartup()
{
    if (LastPort == 0) {
        m_views.showSettingsModal();
        if (m_views.programEnded())
            return;
    }
    (void)m_comm.setCommPort(SelPort);
    m_views.portChooser().selectComSel(SelPort);
    // A failed open shows as DSR and CTS low, which the next step handles.
    (void)m_comm.setPortOpen(true);

    if (!(m_comm.DSRHolding() && m_comm.CTSHolding())) {
        (void)m_comm.setPortOpen(false);   // closing cannot fail
        m_views.showSettingsModal();
        if (m_views.programEnded())
            return;
    }
    ShowDsrLamp();
    ShowCtsLamp();
}

// Each lamp shows the line its row is labelled with: Lite1 stands in the "DSR"
// row, Lite3 in the "CTS" row.
void Module1::ShowDsrLamp()
{
    m_views.mainPanel().paintLite1(m_comm.DSRHolding() ? ColGreen : ColBlack);
}

void Module1::ShowCtsLamp()
{
    m_views.mainPanel().paintLite3(m_comm.CTSHolding() ? ColGreen : ColBlack);
}

// ---------------------------------------------------------------- commands

void Module1::SendCommand()
{
    m_comm.setOutput(CmdStr);
    if (EchoOn == True)
        m_views.echoPanel().setLabel1(CmdStr);
}

void Module1::RequestAnalog()
{
    m_comm.setRThreshold(kAnalogThreshold);
    CmdStr = protocol::readAnalogCommand(TopChan);
    if (dropStrayBytes() > 0 && Sampling == 1) {
        // The line is still talking as a sampling cycle begins: noise, or
        // replies the module still owes for earlier commands. A command now
        // would get its reply mixed with those, and every cycle after it
        // would read one reply's tail and the next one's head. This cycle
        // sends nothing; the next one looks again once the line is quiet.
        GiveReplyUp();
        tell(ReplyObserver::End::GivenUp);
        return;
    }
    SendCommand();
    armReplyDeadline(static_cast<int>(CmdStr.size()), protocol::kBytesPerReading * (TopChan + 1));
    RxChan = TopChan;
    RxMode = kRxAnalog;
}

void Module1::RequestDigital()
{
    CmdStr = protocol::readDigitalCommand();
    dropStrayBytes();
    SendCommand();
    armReplyDeadline(static_cast<int>(CmdStr.size()), protocol::kDigitalReplyBytes);
    RxMode = kRxDigital;
    RxChan = 0;
    m_comm.setRThreshold(kDigitalThreshold);
    if (Sampling > 0 && DinMode > 0)
        DinMode = 2;
}

void Module1::NormalizeDacText()
{
    if (ValStr.isEmpty())
        ValStr = QStringLiteral("0000");
    DacVal = static_cast<std::int16_t>(protocol::parseDacText(ValStr));
    if (DacVal > protocol::kDacMaxMillivolts)
        DacVal = protocol::kDacMaxMillivolts;
    ValStr = protocol::fourDigits(DacVal);
}

void Module1::SetAnalogOutput()
{
    const int c = DacChan & 3;
    const protocol::DacCode code = protocol::dacCode(DacVal);
    DacData[c][0] = static_cast<std::int16_t>(code.range);
    DacData[c][1] = static_cast<std::int16_t>(code.code);
    DacData[c][2] = static_cast<std::int16_t>(code.millivolts);
    const protocol::DacWord word = protocol::dacWord(c, code);
    CmdStr = protocol::setAnalogCommand(word.high, word.low);
    SendCommand();
}

void Module1::SendOutputLine(int level)
{
    OutByte = protocol::kOutputLineMask * level;
    CmdStr = protocol::setOutputsCommand(OutByte);
    SendCommand();
}

void Module1::SetOutputLine(int level)
{
    SendOutputLine(level);
    RequestDigital();
}

// ---------------------------------------------------------------- replies

void Module1::ReceiveReply()
{
    ++ReceivesHandled;
    m_comm.setInputLen(m_comm.RThreshold());

    if (RxMode == kRxDigital) {
        const QByteArray bytes = m_comm.Input();
        // A receive event whose byte was already taken leaves the reply awaited.
        if (!bytes.isEmpty()) {
            DinByte = static_cast<std::uint8_t>(bytes[0]);
            ShowDigitalInputs();
            replyComplete();
            RxMode = kRxIdle;
            if (Sampling > 0)
                RxChan = -1;
            tell(ReplyObserver::End::Complete);
        }
    }

    if (RxMode == kRxAnalog) {
        m_comm.setInputLen(kAnalogThreshold);
        while (m_comm.InBufferCount() >= protocol::kBytesPerReading) {
            const QByteArray pair = m_comm.Input();
            if (pair.size() < protocol::kBytesPerReading)
                break;
            AdCount = protocol::adCount(static_cast<std::uint8_t>(pair[0]), static_cast<std::uint8_t>(pair[1]));
            if (RxChan >= 0 && RxChan <= protocol::kMaxAnalogChannel)
                AnaData[RxChan][1] = static_cast<std::int16_t>(AdCount);
            RxChan -= 1;
            if (RxChan < 0) {
                ShowAnalogValues();
                replyComplete();
                RxMode = kRxIdle;
                if (Sampling > 0 && DinMode > 0)
                    DinMode = 1;
                tell(ReplyObserver::End::Complete);
                break;
            }
        }
        if (EchoOn == True) {
            ValStr = numberText(RxChan);
            m_views.echoPanel().setLabel2(ValStr);
        }
    }
}

// ---------------------------------------------------------------- replies that go wrong

qint64 Module1::dropStrayBytes()
{
    // Noise, or the rest of a reply given up on: decoded as the start of this
    // reply they would shift every reading after it.
    const qint64 dropped = m_comm.discardInput();
    StrayBytes += dropped;
    return dropped;
}

void Module1::armReplyDeadline(int commandBytes, int replyBytes)
{
    const int baud = m_comm.baud();
    m_replyDeadline.start(replydeadline::deadlineMs(commandBytes, replyBytes, baud));
    m_requestSent.start();
    m_replyWireNs = replydeadline::wireNs(commandBytes, replyBytes, baud);
}

std::optional<qint64> Module1::nsUntilReplyExpected() const
{
    if (!m_replyDeadline.isActive())
        return std::nullopt;
    return m_replyWireNs - m_requestSent.nsecsElapsed();
}

void Module1::replyComplete()
{
    m_replyDeadline.stop();
    ReplyOverdue = false;
}

void Module1::GiveReplyUp()
{
    m_replyDeadline.stop();
    RxMode = kRxIdle;
    RxChan = -1;
    if (Sampling > 0 && DinMode > 0)
        DinMode = 2;
}

void Module1::ReplyMissed()
{
    // The part that came is of no use; the next request starts clean.
    (void)m_comm.discardInput();
    GiveReplyUp();
    ++MissedReplies;
    ReplyOverdue = true;
    MainPanel& panel = m_views.mainPanel();
    panel.paintLiteXfer(ColRed);
    panel.showMissedReplies(MissedReplies);
    tell(ReplyObserver::End::Missed);
}

void Module1::PortLost()
{
    // No reply can come now; that is the lost port's doing, not a missed reply.
    const bool awaited = RxMode != kRxIdle;
    GiveReplyUp();
    if (awaited)
        tell(ReplyObserver::End::GivenUp);
}

void Module1::PortReturned()
{
    ShowDsrLamp();
    ShowCtsLamp();
}

void Module1::tell(ReplyObserver::End how)
{
    if (m_observer)
        m_observer->replyEnded(how);
}

void Module1::ShowDigitalInputs()
{
    MainPanel& panel = m_views.mainPanel();
    for (int n = kFirstDigitalLineShown; n <= kLastDigitalLineShown; ++n) {
        const int mask = DigData[n][2];
        const int state = mask != 0 ? (DinByte & mask) / mask : 0;
        DigData[n][0] = static_cast<std::int16_t>(state);
        if (state == 1) {
            panel.paintDLite(n, ColGreen);
            panel.setDinTxt(n, QStringLiteral("1"));
        } else {
            panel.paintDLite(n, ColBlack);
            panel.setDinTxt(n, QStringLiteral("0"));
        }
    }
}

void Module1::ShowAnalogValues()
{
    MainPanel& panel = m_views.mainPanel();
    for (int ch = 0; ch <= TopChan; ++ch) {
        AdCount = AnaData[ch][1];
        panel.setADValTxt(ch, numberText(AdCount));
        const int mv = protocol::countToMillivolts(AdCount);
        AnaData[ch][2] = static_cast<std::int16_t>(mv);
        panel.setVolValTxt(ch, numberText(mv));
    }
}
