#include "ui/DispForm.h"

#include "link/Module1.h"
#include "widgets/ByteText.h"
#include "widgets/Fonts.h"
#include "widgets/Twips.h"
#include "widgets/WindowAccessible.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace {

// Client area, twips.
constexpr int kClientWidth = 4680;
constexpr int kClientHeight = 1575;

// Positions in twips.
constexpr TwipsRect kLabel1{120, 120, 2895, 375};
constexpr TwipsRect kLabel2{120, 600, 2895, 375};
constexpr TwipsRect kLabel3{1440, 1080, 1575, 375};
constexpr TwipsRect kCommand1{3360, 1080, 1095, 375};

// What each field shows, for assistive technology: the field is named by it
// and by what it holds now.
const QString kLabel1Says = QStringLiteral("Last command sent");
const QString kLabel2Says = QStringLiteral("Next channel of the reply, or the sample count");

void nameField(QLabel* field, const QString& says)
{
    const QString text = field->text();
    field->setAccessibleName(text.isEmpty() ? says + QStringLiteral(", empty") : says + QStringLiteral(": ") + text);
}

QLabel* makeField(QWidget* parent, const char* name, const QString& text, const TwipsRect& at)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    // Commands may hold '<' and '>'; they must never be read as markup.
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(false);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, Qt::white);
    label->setPalette(palette);
    label->setFocusPolicy(Qt::NoFocus);
    twips::place(label, at);
    return label;
}

} // namespace

DispForm::DispForm(Module1& module, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
    , m_module(module)
{
    installWindowAccessibility();
    setObjectName(QStringLiteral("DispForm"));
    setWindowTitle(QStringLiteral("Display"));
    // A close request from the window system discards the window; whoever
    // writes to it next makes a new one.
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(msSansSerif(kSmallFontPt));   // the toolkit's face for windows that name none
    buildLayout();
    twips::setFixedClientSize(this, kClientWidth, kClientHeight);
    wireHandlers();
}

void DispForm::buildLayout()
{
    m_label1 = makeField(this, "Label1", QStringLiteral("Label1"), kLabel1);
    m_label2 = makeField(this, "Label2", QStringLiteral("Label2"), kLabel2);
    m_label3 = makeField(this, "Label3", QString(), kLabel3);
    // The fields are read by their texts; these say what the texts are.
    m_label1->setAccessibleDescription(kLabel1Says);
    m_label2->setAccessibleDescription(kLabel2Says);
    nameField(m_label1, kLabel1Says);
    nameField(m_label2, kLabel2Says);
    m_label3->setAccessibleName(QStringLiteral("Unused field, empty"));

    m_command1 = new QPushButton(QStringLiteral("Done"), this);
    m_command1->setObjectName(QStringLiteral("Command1"));
    twips::place(m_command1, kCommand1);
}

void DispForm::wireHandlers()
{
    connect(m_command1, &QAbstractButton::clicked, this, &DispForm::Command1_Click);
}

void DispForm::setLabel1(const QByteArray& command)
{
    m_label1->setText(visibleBytes(command));
    nameField(m_label1, kLabel1Says);
}

void DispForm::setLabel2(const QString& text)
{
    m_label2->setText(text);
    nameField(m_label2, kLabel2Says);
}

void DispForm::clearLines()
{
    m_label2->clear();
    m_label1->clear();
    nameField(m_label2, kLabel2Says);
    nameField(m_label1, kLabel1Says);
}

void DispForm::Command1_Click()
{
    hide();
    m_module.EchoOn = False;
}
