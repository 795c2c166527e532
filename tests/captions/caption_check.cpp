// Checks that no caption of any window is cut: for every button, label,
// frame caption, check box and option button, the width of its text in the
// font the control uses fits the room the style gives the text. The program
// runs on the simulated module, as the demo does; every window is shown once.
// A plain program, not a Qt Test, so that it runs wherever the package's
// libraries are installed:
//   zolt_caption_check        prints every caption; exit 0 when none is cut,
//                             1 when one is, 2 when no caption was found

#include "app/Form1.h"
#include "app/ZoltProgram.h"
#include "sim/SimSerialControl.h"
#include "ui/DispForm.h"
#include "ui/Form3.h"
#include "ui/SerialMenu.h"
#include "ui/frmAbout.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>
#include <QTextDocument>
#include <QtMath>

#include <algorithm>

#include <cstdio>

namespace {

struct Tally {
    int checked = 0;
    int cut = 0;
};

QString plain(QString text)
{
    // A single '&' marks the shortcut letter and takes no room.
    text.replace(QLatin1String("&&"), QString(QChar(0x1)));
    text.remove(u'&');
    text.replace(QChar(0x1), u'&');
    return text;
}

void report(Tally& tally, const QWidget* window, const QWidget* w, const QString& text, const QFont& font,
            int needed, int room, bool fits)
{
    ++tally.checked;
    if (!fits)
        ++tally.cut;
    std::printf("%-4s %s/%s \"%s\" in %s %.2fpt: needs %d px, has %d\n", fits ? "ok" : "cut",
                qPrintable(window->objectName()), qPrintable(w->objectName()), qPrintable(text),
                qPrintable(QFontInfo(font).family()), font.pointSizeF(), needed, room);
}

void checkButton(Tally& tally, const QWidget* window, QAbstractButton* b)
{
    const QString text = plain(b->text());
    if (text.isEmpty())
        return;
    QStyleOptionButton option;
    option.initFrom(b);
    option.text = b->text();
    option.icon = b->icon();
    option.iconSize = b->iconSize();
    QStyle::SubElement element = QStyle::SE_PushButtonContents;
    if (qobject_cast<QCheckBox*>(b))
        element = QStyle::SE_CheckBoxContents;
    else if (qobject_cast<QRadioButton*>(b))
        element = QStyle::SE_RadioButtonContents;
    int room = b->style()->subElementRect(element, &option, b).width();
    if (!b->icon().isNull() && element == QStyle::SE_PushButtonContents)
        room -= b->iconSize().width() + 4;
    const int needed = QFontMetrics(b->font()).horizontalAdvance(text);
    report(tally, window, b, text, b->font(), needed, room, needed <= room);
}

void checkLabel(Tally& tally, const QWidget* window, QLabel* label)
{
    const QString text = label->text();
    if (text.isEmpty() || !label->isVisibleTo(window))
        return;
    QRect room = label->contentsRect();
    const int margin = label->margin();
    room.adjust(margin, margin, -margin, -margin);
    const bool rich = label->textFormat() == Qt::RichText
                      || (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text));
    const QFontMetrics metrics(label->font());
    if (rich) {
        QTextDocument doc;
        doc.setDefaultFont(label->font());
        doc.setDocumentMargin(0);
        doc.setHtml(text);
        if (label->wordWrap()) {
            doc.setTextWidth(room.width());
            const int needed = qCeil(doc.size().height());
            report(tally, window, label, doc.toPlainText(), label->font(), needed, room.height(),
                   needed <= room.height() && qCeil(doc.idealWidth()) <= room.width());
        } else {
            const int needed = qCeil(doc.idealWidth());
            report(tally, window, label, doc.toPlainText(), label->font(), needed, room.width(), needed <= room.width());
        }
        return;
    }
    const QString shown = label->buddy() ? plain(text) : text;   // '&' marks a letter only with a buddy
    if (label->wordWrap()) {
        const QRect needed =
            metrics.boundingRect(QRect(0, 0, room.width(), 1 << 20), Qt::TextWordWrap | label->alignment(), shown);
        report(tally, window, label, shown, label->font(), needed.height(), room.height(),
               needed.height() <= room.height() && needed.width() <= room.width());
    } else {
        int needed = 0;
        for (const QString& line : shown.split(u'\n'))
            needed = std::max(needed, metrics.horizontalAdvance(line));
        report(tally, window, label, shown, label->font(), needed, room.width(), needed <= room.width());
    }
}

void checkFrame(Tally& tally, const QWidget* window, QGroupBox* box)
{
    const QString text = plain(box->title());
    if (text.isEmpty())
        return;
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.lineWidth = 1;
    option.midLineWidth = 0;
    option.textAlignment = box->alignment();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    if (box->isCheckable())
        option.subControls |= QStyle::SC_GroupBoxCheckBox;
    const QRect label = box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
    // The style sizes the caption's box by its text; it must lie inside the frame.
    const int needed = QFontMetrics(box->font()).horizontalAdvance(text);
    const int room = box->width() - label.left();
    report(tally, window, box, text, box->font(), needed, room, box->rect().contains(label) && needed <= room);
}

void checkWindow(Tally& tally, QWidget* window)
{
    const bool wasShown = window->isVisible();
    window->show();
    QCoreApplication::processEvents();
    // Each control once, with the window it shows in (a dialog may be the
    // main window's child object).
    auto own = [window](QWidget* w) { return w->window() == window; };
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (own(b))
            checkButton(tally, window, b);
    }
    for (QLabel* l : window->findChildren<QLabel*>()) {
        if (own(l))
            checkLabel(tally, window, l);
    }
    for (QGroupBox* g : window->findChildren<QGroupBox*>()) {
        if (own(g))
            checkFrame(tally, window, g);
    }
    if (!wasShown)
        window->hide();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    auto comm = std::make_unique<SimSerialControl>(ZoltWire::Timing::ZeroTime);
    ZoltProgram program(std::move(comm));
    program.start();
    QCoreApplication::processEvents();

    // The face in use, as the system resolved what the program asked for.
    const QFontInfo face(program.form1().font());
    std::printf("face: %s, %d px\n", qPrintable(face.family()), face.pixelSize());
    Tally tally;
    checkWindow(tally, &program.form1());
    checkWindow(tally, &program.form3());
    checkWindow(tally, &program.serialMenu());
    checkWindow(tally, &program.about());
    checkWindow(tally, &program.dispForm());
    std::printf("%d captions checked, %d cut\n", tally.checked, tally.cut);
    std::fflush(stdout);
    if (tally.checked == 0)
        return 2;
    return tally.cut == 0 ? 0 : 1;
}
