#include "ui/Form3.h"

#include "link/Module1.h"
#include "link/NumberText.h"
#include "widgets/Fonts.h"
#include "widgets/IndexedName.h"
#include "widgets/SliderControl.h"
#include "widgets/TextBox.h"
#include "widgets/Twips.h"
#include "widgets/WindowAccessible.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

// Client area, twips.
constexpr int kClientWidth = 7185;
constexpr int kClientHeight = 2505;

constexpr int kTrackingMs = 300;
constexpr int kText1MaxLength = 4;

// Sliders: the coarse one in 10 mV steps up to 4290, the fine one adds 0..10 mV,
// so the sum reaches 4300 at both ends.
struct SliderSetting {
    int min;
    int max;
    int smallChange;
    int largeChange;
    int tickFrequency;
    int value;
};
constexpr SliderSetting kSlider1{0, 4290, 10, 10, 100, 0};
constexpr SliderSetting kSlider2{0, 10, 1, 1, 1, 5};

// Positions, twips.
constexpr TwipsRect kLabel5{1320, 120, 1335, 255};
constexpr std::array<TwipsRect, 3> kAnaOut{{
    {1440, 480, 255, 255},
    {1800, 480, 375, 255},
    {2280, 480, 495, 255},
}};
constexpr TwipsRect kText1{3120, 360, 615, 315};
constexpr TwipsRect kLabel1{120, 600, 735, 255};
constexpr TwipsRect kLabel2{6360, 480, 735, 255};
constexpr TwipsRect kSlider1Rect{0, 840, 6855, 630};
constexpr TwipsRect kSlider2Rect{0, 1560, 2295, 615};
constexpr TwipsRect kLabel3{120, 2160, 2055, 375};
constexpr std::array<TwipsRect, 4> kChCmd{{
    {2520, 1560, 615, 375},
    {3360, 1560, 615, 375},
    {2520, 2040, 615, 375},
    {3360, 2040, 615, 375},
}};
constexpr TwipsRect kChbox{4200, 1560, 375, 315};
constexpr TwipsRect kLabel4{4680, 1560, 855, 255};
constexpr TwipsRect kCommand2{4200, 2040, 855, 375};
constexpr TwipsRect kCommand1{6000, 2040, 1095, 375};

constexpr std::array<const char*, 3> kAnaOutAtCreation{"0", "000", "0000"};

constexpr int kBackspace = 8;

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& caption,
                  const TwipsRect& rect)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(name);
    twips::place(label, rect);
    return label;
}

void applySetting(SliderControl* slider, const SliderSetting& setting)
{
    slider->setRange(setting.min, setting.max);
    slider->setSingleStep(setting.smallChange);
    slider->setPageStep(setting.largeChange);
    slider->setTickInterval(setting.tickFrequency);
    slider->setPosition(setting.value);
}

} // namespace

Form3::Form3(Module1& module, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_module(module)
{
    installWindowAccessibility();
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Analog Output Voltage Control"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(msSansSerif(kSmallFontPt));   // the toolkit's face for windows that name none
    twips::setFixedClientSize(this, kClientWidth, kClientHeight);

    buildLayout();
    wireHandlers();
}

void Form3::buildLayout()
{
    m_label5 = makeLabel(this, QStringLiteral("Label5"), QStringLiteral("Mval   Dval    Vval"), kLabel5);
    for (int i = 0; i < 3; ++i)
        m_anaOut[i] = makeLabel(this, indexedName("AnaOut", i), QLatin1String(kAnaOutAtCreation[i]), kAnaOut[i]);

    m_text1 = new TextBox(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setMaxLength(kText1MaxLength);
    twips::place(m_text1, kText1);
    m_text1->installEventFilter(this);
    m_text1->setAccessibleName(QStringLiteral("Output voltage, millivolts"));

    m_label1 = makeLabel(this, QStringLiteral("Label1"), QStringLiteral("0 mV"), kLabel1);
    m_label2 = makeLabel(this, QStringLiteral("Label2"), QStringLiteral("4300 mV"), kLabel2);

    m_slider1 = new SliderControl(this);
    m_slider1->setObjectName(QStringLiteral("Slider1"));
    applySetting(m_slider1, kSlider1);
    twips::place(m_slider1, kSlider1Rect);
    m_slider1->setAccessibleName(QStringLiteral("Output voltage, 0 mV to 4300 mV"));

    m_slider2 = new SliderControl(this);
    m_slider2->setObjectName(QStringLiteral("Slider2"));
    applySetting(m_slider2, kSlider2);
    twips::place(m_slider2, kSlider2Rect);
    m_slider2->setAccessibleName(QStringLiteral("Fine Adjust, +0 to +10"));

    m_label3 = makeLabel(this, QStringLiteral("Label3"),
                         QStringLiteral("+0         Fine Adjust        +10"), kLabel3);

    for (int i = 0; i < 4; ++i) {
        m_chCmd[i] = new QPushButton(QStringLiteral("Ch%1").arg(i), this);
        m_chCmd[i]->setObjectName(indexedName("ChCmd", i));
        m_chCmd[i]->setAutoDefault(false);
        twips::place(m_chCmd[i], kChCmd[i]);
        m_chCmd[i]->setAccessibleName(QStringLiteral("Analog output channel %1").arg(i));
    }

    m_chbox = new TextBox(this);
    m_chbox->setObjectName(QStringLiteral("Chbox"));
    twips::place(m_chbox, kChbox);
    m_chbox->setAccessibleName(QStringLiteral("Channel"));

    m_label4 = makeLabel(this, QStringLiteral("Label4"), QStringLiteral("Channel"), kLabel4);

    m_command2 = new QPushButton(QStringLiteral("Set"), this);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setAutoDefault(false);
    twips::place(m_command2, kCommand2);
    m_command2->setAccessibleName(QStringLiteral("Set the output voltage"));

    m_command1 = new QPushButton(QStringLiteral("Done"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setAutoDefault(false);
    twips::place(m_command1, kCommand1);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kTrackingMs);

    // Tab order by place: Slider1 0, Text1 1, Done 2, Set 5, Slider2 6,
    // Ch0..Ch3 8..11, Chbox 13 (the labels hold the places between).
    QWidget* const order[] = {m_slider1, m_text1, m_command1, m_command2, m_slider2,
                              m_chCmd[0], m_chCmd[1], m_chCmd[2], m_chCmd[3], m_chbox};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Form3::wireHandlers()
{
    for (int i = 0; i < 4; ++i)
        connect(m_chCmd[i], &QPushButton::clicked, this, [this, i] { ChCmd_Click(i); });
    connect(m_command1, &QPushButton::clicked, this, &Form3::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &Form3::Command2_Click);

    connect(m_slider1, &SliderControl::Change, this, &Form3::Slider1_Change);
    connect(m_slider1, &SliderControl::MouseDown, this, &Form3::Slider1_MouseDown);
    connect(m_slider1, &SliderControl::MouseUp, this, &Form3::Slider1_MouseUp);
    connect(m_slider2, &SliderControl::Change, this, &Form3::Slider2_Change);
    connect(m_slider2, &SliderControl::MouseDown, this, &Form3::Slider2_MouseDown);
    connect(m_slider2, &SliderControl::MouseUp, this, &Form3::Slider2_MouseUp);
    connect(m_slider2, &SliderControl::Click, this, &Form3::Slider2_Click);

    connect(m_timer1, &QTimer::timeout, this, &Form3::Timer1_Timer);
}

void Form3::setChannelBox(const QString& text)
{
    m_chbox->setText(text);
}

bool Form3::trackingOn() const
{
    return m_timer1->isActive();
}

// ---------------------------------------------------------------- handlers

void Form3::ChCmd_Click(int index)
{
    m_module.DacChan = index;
    m_chbox->setText(numberText(index));
    showValue(m_module.DacData[index][2]);
}

void Form3::Command1_Click()
{
    m_timer1->stop();
    hide();
}

void Form3::Command2_Click()
{
    m_module.ValStr = m_text1->text();
    m_module.NormalizeDacText();
    m_module.SetAnalogOutput();
    // SetAnalogOutput records under the channel kept to 0..3.
    const auto& recorded = m_module.DacData[m_module.DacChan & 3];
    for (int i = 0; i < 3; ++i)
        m_anaOut[i]->setText(numberText(recorded[i]));
    showValue(recorded[2]);
}

void Form3::Slider1_Change() { sliderSumToText1(); }
void Form3::Slider1_MouseDown() { m_timer1->start(); }
void Form3::Slider1_MouseUp() { m_timer1->stop(); }
void Form3::Slider2_Change() { sliderSumToText1(); }
void Form3::Slider2_MouseDown() { m_timer1->start(); }
void Form3::Slider2_MouseUp() { m_timer1->stop(); }

// The click comes after the release, so it leaves tracking on until the next
// release on a slider or Done.
void Form3::Slider2_Click()
{
    m_timer1->start();
    sliderSumToText1();
}

void Form3::Timer1_Timer()
{
    sliderSumToText1();
    m_module.ValStr = m_text1->text();
    m_text1->setText(m_module.ValStr);
    // Waiting events (a serial reply, a click) run here, inside the tick.
    QCoreApplication::processEvents();
}

void Form3::Text1_KeyPress(int& KeyAscii)
{
    const bool digit = KeyAscii >= '0' && KeyAscii <= '9';
    if (KeyAscii != kBackspace && !digit)
        KeyAscii = 0;
}

int Form3::keyAscii(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_Backspace:
        return kBackspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return -1;
    default:
        break;
    }
    const QString text = event.text();
    if (text.isEmpty())
        return -1;
    const char16_t code = text.at(0).unicode();
    // Ctrl with a letter types the control character (Ctrl+V is 22).
    if ((event.modifiers() & Qt::ControlModifier) && code < 0x80 && QChar(code).isLetter())
        return code & 0x1F;
    return code;
}

bool Form3::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_text1 && event->type() == QEvent::KeyPress) {
        int code = keyAscii(*static_cast<QKeyEvent*>(event));
        if (code >= 0) {
            Text1_KeyPress(code);
            if (code == 0)
                return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form3::showEvent(QShowEvent* event)
{
    // Opens centred over the main window; later openings keep where the user put it.
    if (!m_placed) {
        m_placed = true;
        if (QWidget* owner = parentWidget()) {
            QRect frame = frameGeometry();
            frame.moveCenter(owner->window()->frameGeometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}

// ---------------------------------------------------------------- helpers

void Form3::sliderSumToText1()
{
    m_text1->setText(numberTextLast4(m_slider1->value() + m_slider2->value()));
}

// The window's own slider moves raise no Change (SliderControl::setPosition),
// so Text1 keeps the text written here; for 4300 the coarse slider stops at
// its top, 4290, the fine one at 0, and Text1 still reads 4300.
void Form3::showValue(int millivolts)
{
    m_text1->setText(numberTextLast4(millivolts));
    m_slider1->setPosition(millivolts - millivolts % 10);
    m_slider2->setPosition(millivolts % 10);
}
