#include "ui/SerialMenu.h"

#include <algorithm>

#include "link/Module1.h"
#include "link/SerialControl.h"
#include "widgets/Fonts.h"
#include "widgets/IndexedName.h"
#include "widgets/Twips.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>

namespace {

// Client area, twips.
constexpr int kClientWidth = 4200;
constexpr int kClientHeight = 4305;

// Positions in twips, relative to the container.
constexpr TwipsRect kFrame2{0, 120, 1815, 4095};
constexpr TwipsRect kFrame1{2040, 240, 1695, 1455};
constexpr TwipsRect kOption1{120, 360, 975, 255};
constexpr TwipsRect kOption2{120, 720, 975, 255};
constexpr TwipsRect kOption3{120, 1080, 975, 255};
constexpr TwipsRect kLabel1{2400, 1920, 1455, 255};
constexpr TwipsRect kCommand1{2040, 3840, 975, 375};
constexpr TwipsRect kCommand2{3120, 3840, 975, 375};

// The port options inside Frame2, Com1 to Com16 (entry 0 unused).
constexpr int kComSelLeft = 240;
constexpr int kComSelHeight = 200;
constexpr std::array<int, 17> kComSelTop{0,    300,  540,  780,  1020, 1260, 1500, 1740, 1960,
                                         2200, 2440, 2680, 2920, 3140, 3360, 3600, 3840};
constexpr std::array<int, 17> kComSelWidth{0,   975, 975, 975, 975, 975, 975, 855, 735,
                                           1215, 855, 855, 975, 975, 975, 975, 975};

QRadioButton* makeOption(QWidget* parent, const char* name, const QString& caption, const TwipsRect& at)
{
    auto* option = new QRadioButton(caption, parent);
    option->setObjectName(QLatin1String(name));
    twips::place(option, at);
    return option;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const TwipsRect& at)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    // Neither button answers Enter: no default, and no default-on-focus.
    button->setAutoDefault(false);
    button->setDefault(false);
    twips::place(button, at);
    return button;
}

} // namespace

SerialMenu::SerialMenu(Module1& module, std::function<void()> endProgram, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_module(module)
    , m_endProgram(std::move(endProgram))
{
    setObjectName(QStringLiteral("SerialMenu"));
    setWindowTitle(QStringLiteral("Serial Port Settings"));
    setFont(msSansSerif(kSmallFontPt));   // the toolkit's face for windows that name none
    setSizeGripEnabled(false);
    buildLayout();
    twips::setFixedClientSize(this, kClientWidth, kClientHeight);
    wireHandlers();
}

void SerialMenu::buildLayout()
{
    m_frame2 = new QGroupBox(QStringLiteral("RS232 Serial Port "), this);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    twips::place(m_frame2, kFrame2);

    m_comGroup = new QButtonGroup(this);
    m_comGroup->setExclusive(true);
    for (int n = SerialControl::kMinPort; n <= SerialControl::kMaxPort; ++n) {
        auto* option = new QRadioButton(QStringLiteral("Com%1").arg(n), m_frame2);
        option->setObjectName(indexedName("ComSel", n));
        twips::place(option, {kComSelLeft, kComSelTop[n], kComSelWidth[n], kComSelHeight});
        // Some widths were measured for a narrower face; the frame has room to the
        // right, so an option never cuts its caption.
        option->resize(std::max(option->width(), option->sizeHint().width()), option->height());
        m_comGroup->addButton(option, n);
        m_comSel[n] = option;
    }

    m_frame1 = new QGroupBox(QStringLiteral("Baud Rate"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    twips::place(m_frame1, kFrame1);
    m_option1 = makeOption(m_frame1, "Option1", QLatin1String(baudOption(1)->caption), kOption1);
    m_option2 = makeOption(m_frame1, "Option2", QLatin1String(baudOption(2)->caption), kOption2);
    m_option3 = makeOption(m_frame1, "Option3", QLatin1String(baudOption(3)->caption), kOption3);
    m_baudGroup = new QButtonGroup(this);
    m_baudGroup->setExclusive(true);
    const std::array<QRadioButton*, kBaudOptions.size()> baudButtons{m_option1, m_option2, m_option3};
    for (const BaudOption& b : kBaudOptions) {
        QRadioButton* option = baudButtons[static_cast<std::size_t>(b.option - 1)];
        m_baudGroup->addButton(option, b.option);
        option->setAccessibleName(QStringLiteral("%1 baud").arg(QLatin1String(b.caption)));
    }

    m_label1 = new QLabel(QStringLiteral("Baud, 8, N, 1"), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    twips::place(m_label1, kLabel1);

    m_command1 = makeButton(this, "Command1", QStringLiteral("OK"), kCommand1);
    m_command2 = makeButton(this, "Command2", QStringLiteral("Cancel"), kCommand2);
}

void SerialMenu::wireHandlers()
{
    // clicked, not toggled: selecting an option from code must not run these.
    for (int n = SerialControl::kMinPort; n <= SerialControl::kMaxPort; ++n)
        connect(m_comSel[n], &QAbstractButton::clicked, this, [this, n] { ComSel_Click(n); });
    connect(m_option1, &QAbstractButton::clicked, this, &SerialMenu::Option1_Click);
    connect(m_option2, &QAbstractButton::clicked, this, &SerialMenu::Option2_Click);
    connect(m_option3, &QAbstractButton::clicked, this, &SerialMenu::Option3_Click);
    connect(m_command1, &QAbstractButton::clicked, this, &SerialMenu::Command1_Click);
    connect(m_command2, &QAbstractButton::clicked, this, &SerialMenu::Command2_Click);
}

void SerialMenu::showModal()
{
    if (const QWidget* owner = parentWidget()) {
        const QRect area = owner->window()->frameGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    exec();
}

// ---------------------------------------------------------------- PortChooser

QRadioButton* SerialMenu::comSel(int port) const
{
    if (port < SerialControl::kMinPort || port > SerialControl::kMaxPort)
        return nullptr;
    return m_comSel[port];
}

void SerialMenu::clearGroup(QButtonGroup* group)
{
    // An exclusive group will not let its checked button go; lift that briefly.
    group->setExclusive(false);
    if (QAbstractButton* checked = group->checkedButton())
        checked->setChecked(false);
    group->setExclusive(true);
}

void SerialMenu::setComSelEnabled(int port, bool enabled)
{
    if (QRadioButton* option = comSel(port))
        option->setEnabled(enabled);
}

void SerialMenu::describeComSel(int port, const QString& device, PortProblem problem)
{
    if (QRadioButton* option = comSel(port))
        option->setToolTip(portTooltip(device, problem));
}

void SerialMenu::selectComSel(int port)
{
    if (QRadioButton* option = comSel(port))
        option->setChecked(true);
    else
        clearGroup(m_comGroup);
}

void SerialMenu::selectBaudOption(int option)
{
    if (QAbstractButton* button = m_baudGroup->button(option))
        button->setChecked(true);
    else
        clearGroup(m_baudGroup);
}

// ---------------------------------------------------------------- handlers

void SerialMenu::ComSel_Click(int index)
{
    m_module.SelPort = index;
    selectComSel(m_module.SelPort);
}

// The baud options go to the control at once, open or closed, even though the
// user may still cancel. The strings are well formed, so they are never refused.
void SerialMenu::takeBaudOption(int option)
{
    if (const BaudOption* b = baudOption(option))
        (void)m_module.comm().setSettings(QLatin1String(b->settings));
}

void SerialMenu::Option1_Click() { takeBaudOption(1); }
void SerialMenu::Option2_Click() { takeBaudOption(2); }
void SerialMenu::Option3_Click() { takeBaudOption(3); }

bool SerialMenu::endedForNoPort()
{
    if (m_module.LastPort != 0)
        return false;
    const QPointer<SerialMenu> guard(this);
    if (m_endProgram)
        m_endProgram();
    // Hidden as well, so that a modal run of the dialog returns to its opener
    // (unless ending the program has already taken the dialog away).
    if (guard)
        hide();
    return true;
}

void SerialMenu::Command1_Click()
{
    if (endedForNoPort())
        return;
    SerialControl& comm = m_module.comm();
    // A refused port number keeps the old one; a failed open leaves the port
    // closed. Neither gives a message: the lamps below show the outcome.
    (void)comm.setCommPort(m_module.SelPort);
    (void)comm.setPortOpen(true);
    hide();
    m_module.ShowCtsLamp();
    m_module.ShowDsrLamp();
}

void SerialMenu::Command2_Click()
{
    if (endedForNoPort())
        return;
    SerialControl& comm = m_module.comm();
    // Each step may fail (OldPort is 0 when the dialog came up at start-up, and
    // port 0 is refused); the next one runs all the same, without a message.
    (void)comm.setSettings(m_module.OldSettings);
    (void)comm.setCommPort(m_module.OldPort);
    (void)comm.setPortOpen(true);
    m_module.ShowDsrLamp();
    m_module.ShowCtsLamp();
    hide();
}

// ---------------------------------------------------------------- dismissal

void SerialMenu::reject()
{
}

void SerialMenu::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Enter:
    case Qt::Key_Return:
        // Taken here so that neither the dialog nor its owner acts on them.
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

void SerialMenu::closeEvent(QCloseEvent* event)
{
    if (!isVisible()) {
        event->accept();
        return;
    }
    Command2_Click();
    if (isVisible())
        event->ignore();
    else
        event->accept();
}
