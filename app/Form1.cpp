#include "app/Form1.h"

#include "app/Form1Layout.h"
#include "link/Module1.h"
#include "link/SerialControl.h"
#include "widgets/Fonts.h"
#include "widgets/FrameCacheStyle.h"
#include "widgets/FramePacer.h"
#include "widgets/IndexedName.h"
#include "widgets/Lamp.h"
#include "widgets/Pictures.h"
#include "widgets/TextBox.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <vector>

using namespace form1layout;

namespace {

template <typename Widget>
Widget* placed(Widget* widget, const QString& name, const TwipsRect& rect)
{
    widget->setObjectName(name);
    twips::place(widget, rect);
    return widget;
}

// Window coordinates to coordinates inside the digital frame.
TwipsRect inFrame(const TwipsRect& rect)
{
    return {rect.left - kFrame1.left, rect.top - kFrame1.top, rect.width, rect.height};
}

// A reading that did not change repaints nothing.
void setIfChanged(QLineEdit* box, const QString& text)
{
    if (box->text() != text)
        box->setText(text);
}

QPushButton* button(QWidget* parent, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    // Enter presses the focused button, as Space does.
    b->setAutoDefault(true);
    return b;
}

QLabel* label(QWidget* parent, const QString& caption, double pointSize)
{
    auto* l = new QLabel(caption, parent);
    l->setFont(msSansSerif(pointSize));
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return l;
}

} // namespace

Form1::Form1(Module1& module, SerialControl& comm)
    : m_module(module)
    , MSComm1(comm)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("ZOLT Control Freeware"));
    setWindowIcon(mainWindowIcon());
    // Fixed single border: no minimise or maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(msSansSerif(kDefaultFontPt));

    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_timer1.setTimerType(Qt::PreciseTimer);   // "Max Speed" is a 1 ms pause
    m_timer1.setInterval(kTimerStoredMs);

    buildMenus();
    buildControls();
    describeControls();
    setTabOrder();
    wireHandlers();
    // At "Max Speed" the readings change about a thousand times a second;
    // the window is painted once per screen refresh, and never just before
    // Timer1's tick sends the next command or the awaited reply comes in
    // (that would hold up the next command by the repaint's length).
    m_pacer = new FramePacer(this);
    m_pacer->yieldTo([this] {
        if (const qint64 tick = FramePacer::nsUntilTick(m_timer1); tick >= 0)
            return tick;
        // A reply a little late is still taken to be on its way.
        if (const auto reply = m_module.nsUntilReplyExpected(); reply && *reply >= -FramePacer::kYieldNs)
            return std::max<qint64>(0, *reply);
        return qint64{-1};
    });
    wirePacer();
}

Form1::~Form1() = default;

void Form1::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    QPalette grey = client->palette();
    grey.setColor(QPalette::Window, QColor(kBackgroundGrey, kBackgroundGrey, kBackgroundGrey));
    client->setPalette(grey);
    client->setAutoFillBackground(true);
    twips::setFixedClientSize(client, kClientWidth, kClientHeight);
    setCentralWidget(client);

    auto* line = placed(new QFrame(client), QStringLiteral("Line1"), kLine1);
    line->setAccessibleName(QStringLiteral("Separator line"));
    line->setAutoFillBackground(true);
    QPalette lineGrey = line->palette();
    lineGrey.setColor(QPalette::Window, QColor(kLine1Grey, kLine1Grey, kLine1Grey));
    line->setPalette(lineGrey);

    for (int i = 0; i < kChannels; ++i) {
        ADCmdbut[i] = placed(button(client, QString::number(i)), indexedName("ADCmdbut", i),
                             gridCell(i, kButtonTop, kButtonHeight));
        ChLite[i] = placed(new Lamp(client), indexedName("ChLite", i), gridCell(i, kChLiteTop, kChLiteHeight));
        ADValTxt[i] = placed(new TextBox(client), indexedName("ADValTxt", i),
                             gridCell(i, kCountTop, i == 3 ? kCountHeight3 : kCountHeight));
        VolValTxt[i] = placed(new TextBox(client), indexedName("VolValTxt", i),
                              gridCell(i, kMillivoltTop, kMillivoltHeight));
    }

    auto* frame = placed(new QGroupBox(QStringLiteral("   Digital  D1  D0  Out"), client),
                         QStringLiteral("Frame1"), kFrame1);
    Command1 = placed(button(frame, QStringLiteral("On/Off")), QStringLiteral("Command1"), inFrame(kCommand1));
    for (int line3 = kFirstLine; line3 <= kLastLine; ++line3) {
        DLite[line3] = placed(new Lamp(frame), indexedName("DLite", line3), inFrame(kDLite[line3 - kFirstLine]));
        DinTxt[line3] = placed(new TextBox(frame), indexedName("DinTxt", line3), inFrame(kDinTxt[line3 - kFirstLine]));
        DinTxt[line3]->setAlignment(Qt::AlignCenter);
    }
    DLite[3]->setColour(kDLite3Grey | kDLite3Grey << 8 | kDLite3Grey << 16);

    // The readings' boxes are repainted up to once per screen refresh: their
    // frames come from pictures drawn once.
    auto* readingStyle = new FrameCacheStyle;
    readingStyle->setParent(this);
    for (QLineEdit* box : ADValTxt)
        box->setStyle(readingStyle);
    for (QLineEdit* box : VolValTxt)
        box->setStyle(readingStyle);
    for (int line3 = kFirstLine; line3 <= kLastLine; ++line3)
        DinTxt[line3]->setStyle(readingStyle);

    Command7 = placed(button(client, QStringLiteral("D-On")), QStringLiteral("Command7"), kCommand7);

    SamLite[0] = placed(new Lamp(client), indexedName("SamLite", 0), kSamLite0);
    SamLite[1] = placed(new Lamp(client), indexedName("SamLite", 1), kSamLite1);
    Command13 = placed(button(client, QStringLiteral("D-in")), QStringLiteral("Command13"), kCommand13);
    Command3 = placed(button(client, QStringLiteral("A/D-in")), QStringLiteral("Command3"), kCommand3);

    Command12 = placed(button(client, QString()), QStringLiteral("Command12"), kCommand12);
    Command12->setIcon(startPicture(kStartPictureWidth, kStartPictureHeight));
    Command12->setIconSize(QSize(kStartPictureWidth, kStartPictureHeight));
    Command6 = placed(button(client, QString()), QStringLiteral("Command6"), kCommand6);
    Command6->setIcon(stopPicture(kStopPictureWidth, kStopPictureHeight));
    Command6->setIconSize(QSize(kStopPictureWidth, kStopPictureHeight));

    placed(label(client, QStringLiteral("Start  Samples"), kDefaultFontPt), QStringLiteral("Label1"), kLabel1);
    placed(label(client, QStringLiteral("Stop"), kDefaultFontPt), QStringLiteral("Label4"), kLabel4);
    Command4 = placed(button(client, QStringLiteral("Exit")), QStringLiteral("Command4"), kCommand4);
    Command4->setFont(msSansSerif(kSmallFontPt));

    LiteXfer = placed(new Lamp(client), QStringLiteral("LiteXfer"), kLiteXfer);
    Lite3 = placed(new Lamp(client), QStringLiteral("Lite3"), kLite3);
    Lite1 = placed(new Lamp(client), QStringLiteral("Lite1"), kLite1);
    for (Lamp* lamp : {LiteXfer, Lite3, Lite1})
        lamp->setColour(kColBlack);
    placed(label(client, QStringLiteral("Xfer Stat"), kSmallFontPt), QStringLiteral("Label6"), kLabel6);
    placed(label(client, QStringLiteral("CTS"), kSmallFontPt), QStringLiteral("Label2"), kLabel2);
    placed(label(client, QStringLiteral("DSR"), kSmallFontPt), QStringLiteral("Label3"), kLabel3);

    layout()->setSizeConstraint(QLayout::SetFixedSize);
}

void Form1::buildMenus()
{
    auto action = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    auto menu = [](QMenuBar* bar, QMenu* parent, const char* name, const QString& caption) {
        QMenu* m = parent ? parent->addMenu(caption) : bar->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        m->menuAction()->setObjectName(QLatin1String(name));
        m->setAccessibleName(caption);   // the menu that opens is named by its item
        return m;
    };
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);

    QMenu* Tmenu = menu(bar, nullptr, "Tmenu", QStringLiteral("Settings"));
    SetComMenu = action(Tmenu, "SetComMenu", QStringLiteral("Set RS232"));
    SelDisp = action(Tmenu, "SelDisp", QStringLiteral("Display"));
    Endme = action(Tmenu, "Endme", QStringLiteral("Exit"));

    QMenu* Samplerate = menu(bar, nullptr, "Samplerate", QStringLiteral("Sampling"));
    const auto pauseLabel = [](int i) { return QLatin1String(acquisition::kNamedPauses[i].label); };
    MaxSamp = action(Samplerate, "MaxSamp", pauseLabel(0));
    Halfsec = action(Samplerate, "Halfsec", pauseLabel(1));
    onesec = action(Samplerate, "onesec", pauseLabel(2));
    tensec = action(Samplerate, "tensec", pauseLabel(3));

    QMenu* DAsetFm = menu(bar, nullptr, "DAsetFm", QStringLiteral("Outputs"));
    QMenu* Dmenfrm = menu(bar, DAsetFm, "Dmenfrm", QStringLiteral("Digital"));
    Dighi = action(Dmenfrm, "Dighi", QStringLiteral("Set High"));
    DigLo = action(Dmenfrm, "DigLo", QStringLiteral("Set Low"));
    AnamenFrm = action(DAsetFm, "AnamenFrm", QStringLiteral("Analog Voltages"));

    QMenu* showaboat = menu(bar, nullptr, "showaboat", QStringLiteral("About"));
    showabout = action(showaboat, "showabout", QStringLiteral("Program"));
}

void Form1::setTabOrder()
{
    // Exit first (it holds the focus when the window opens), then the order the
    // buttons and boxes were laid out in.
    std::vector<QWidget*> order{Command4, Command1, ADCmdbut[0], Command3, ADCmdbut[4], Command6, Command12,
                                Command13, ADCmdbut[1], ADCmdbut[5], ADCmdbut[2], ADCmdbut[6], ADCmdbut[3]};
    for (QLineEdit* box : ADValTxt)
        order.push_back(box);
    for (int line3 : {3, 5, 4})
        order.push_back(DinTxt[line3]);
    for (QLineEdit* box : VolValTxt)
        order.push_back(box);
    order.push_back(Command7);
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    Command4->setFocus();
}

// After the handlers they follow (wired first): a repaint held for the tick
// or the reply goes once the handler has sent what comes next.
void Form1::wirePacer()
{
    connect(&m_timer1, &QTimer::timeout, m_pacer, &FramePacer::quietNow);
    connect(&m_acquisition, &acquisition::Acquisition::pauseDue, m_pacer, &FramePacer::quietNow);
    connect(&MSComm1, &SerialControl::OnComm, m_pacer, &FramePacer::quietNow);
}

void Form1::wireHandlers()
{
    connect(&MSComm1, &SerialControl::OnComm, this, &Form1::MSComm1_OnComm);
    connect(&m_timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    // Timer1's tick when the pause after a reply is due, which Qt's timer,
    // counting whole milliseconds from its start, would give later.
    connect(&m_acquisition, &acquisition::Acquisition::pauseDue, this, &Form1::Timer1_Timer);

    for (int i = 0; i < kChannels; ++i)
        connect(ADCmdbut[i], &QPushButton::clicked, this, [this, i] { ADCmdbut_Click(i); });
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command13, &QPushButton::clicked, this, &Form1::Command13_Click);
    connect(Command7, &QPushButton::clicked, this, &Form1::Command7_Click);
    connect(Command12, &QPushButton::clicked, this, &Form1::Command12_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    // Press and release of any mouse button, seen before the button acts on it.
    Command3->installEventFilter(this);
    Command13->installEventFilter(this);

    connect(MaxSamp, &QAction::triggered, this, &Form1::MaxSamp_Click);
    connect(Halfsec, &QAction::triggered, this, &Form1::Halfsec_Click);
    connect(onesec, &QAction::triggered, this, &Form1::onesec_Click);
    connect(tensec, &QAction::triggered, this, &Form1::tensec_Click);
    connect(Dighi, &QAction::triggered, this, &Form1::Dighi_Click);
    connect(DigLo, &QAction::triggered, this, &Form1::DigLo_Click);
    connect(SetComMenu, &QAction::triggered, this, &Form1::SetComMenu_Click);
    connect(SelDisp, &QAction::triggered, this, &Form1::SelDisp_Click);
    connect(AnamenFrm, &QAction::triggered, this, &Form1::AnamenFrm_Click);
    connect(showabout, &QAction::triggered, this, &Form1::showabout_Click);
    connect(Endme, &QAction::triggered, this, &Form1::Endme_Click);
}

void Form1::centreOnScreen()
{
    adjustSize();
    if (const QScreen* s = screen()) {
        const QRect area = s->availableGeometry();
        move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    const bool press = event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick;
    const bool release = event->type() == QEvent::MouseButtonRelease;
    if ((press || release) && static_cast<QWidget*>(watched)->isEnabled()) {
        if (watched == Command3)
            press ? Command3_MouseDown() : Command3_MouseUp();
        else if (watched == Command13)
            press ? Command13_MouseDown() : Command13_MouseUp();
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event)
{
    // A close request from the window system ends the program as Exit does.
    event->accept();
    emit exitRequested();
}

// ---------------------------------------------------------------- MainPanel

void Form1::paintLite1(Colour colour) { Lite1->setColour(colour); }
void Form1::paintLite3(Colour colour) { Lite3->setColour(colour); }

void Form1::paintDLite(int line, Colour colour)
{
    if (line >= kFirstLine && line <= kLastLine)
        DLite[line]->setColour(colour);
}

void Form1::setDinTxt(int line, const QString& text)
{
    if (line >= kFirstLine && line <= kLastLine)
        setIfChanged(DinTxt[line], text);
}

void Form1::setADValTxt(int channel, const QString& text)
{
    if (channel >= 0 && channel < kChannels)
        setIfChanged(ADValTxt[channel], text);
}

void Form1::setVolValTxt(int channel, const QString& text)
{
    if (channel >= 0 && channel < kChannels)
        setIfChanged(VolValTxt[channel], text);
}
