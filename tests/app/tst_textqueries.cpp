// What a screen reader asks of every text box of every window, asked through
// QAccessible as it asks it: the character, word, sentence, line and
// paragraph before, at and after every offset, and the text attributes. No
// query may hang; a watchdog ends the run with the query that did.

#include "tests/app/ProgramRig.h"
#include "ui/DispForm.h"
#include "ui/Form3.h"
#include "ui/SerialMenu.h"
#include "ui/frmAbout.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QLineEdit>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

constexpr unsigned kWatchdogSeconds = 20;
constexpr qint64 kQueryLimitMs = 200;

// The query in hand, for the watchdog to name.
char g_query[512];

extern "C" void watchdogFired(int)
{
    static const char head[] = "FAIL: a text query did not return: ";
    (void)!write(STDERR_FILENO, head, sizeof head - 1);
    (void)!write(STDERR_FILENO, g_query, std::strlen(g_query));
    (void)!write(STDERR_FILENO, "\n", 1);
    _exit(3);
}

const QList<QAccessible::TextBoundaryType> kBoundaries{
    QAccessible::CharBoundary, QAccessible::WordBoundary, QAccessible::SentenceBoundary,
    QAccessible::ParagraphBoundary, QAccessible::LineBoundary, QAccessible::NoBoundary};

// Texts the boxes show (a reading with its sign's blank, a bare digit, an
// empty box) and a few a user could type or paste.
const QStringList kTexts{QStringLiteral(" 3092"), QStringLiteral(" 371"), QStringLiteral("0"),
                         QStringLiteral("-1"),     QString(),               QStringLiteral("   "),
                         QStringLiteral("Channel 0 reading, counts"),
                         QStringLiteral("One. Two!  Three?"), QStringLiteral("a\nb")};

enum Where { Before = -1, At = 0, After = 1 };

struct Answer {
    QString text;
    int start = -2;
    int end = -2;
};

class Rig {
public:
    // Every query at every offset from -1 to length + 1, timed and guarded.
    QString check(QLineEdit* box)
    {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(box);
        if (!iface || !iface->textInterface())
            return QStringLiteral("%1 has no text interface").arg(box->objectName());
        QAccessibleTextInterface* t = iface->textInterface();
        const QString name = box->objectName();
        const int length = int(box->text().size());
        if (t->characterCount() != length)
            return QStringLiteral("%1: %2 characters counted of %3").arg(name).arg(t->characterCount()).arg(length);

        for (QAccessible::TextBoundaryType type : kBoundaries) {
            int covered = 0;   // the "at" pieces, walked from the start, must tile the text
            for (int offset = -1; offset <= length + 1; ++offset) {
                Answer got[3];
                for (Where where : {Before, At, After}) {
                    std::snprintf(g_query, sizeof g_query, "%s \"%s\" offset %d boundary %d %s", qPrintable(name),
                                  qPrintable(box->text()), offset, int(type),
                                  where == Before ? "before" : where == At ? "at" : "after");
                    QElapsedTimer clock;
                    clock.start();
                    Answer& a = got[where + 1];
                    a.text = where == Before  ? t->textBeforeOffset(offset, type, &a.start, &a.end)
                             : where == At    ? t->textAtOffset(offset, type, &a.start, &a.end)
                                              : t->textAfterOffset(offset, type, &a.start, &a.end);
                    if (clock.elapsed() > kQueryLimitMs)
                        return QStringLiteral("%1 took %2 ms").arg(QLatin1String(g_query)).arg(clock.elapsed());
                    const bool outside = offset < 0 || offset > length;
                    if (outside ? (a.start != -1 || a.end != -1 || !a.text.isEmpty())
                                : (a.start < 0 || a.end < a.start || a.end > length
                                   || a.text != box->text().mid(a.start, a.end - a.start)))
                        return QStringLiteral("%1 answered \"%2\" [%3, %4)")
                            .arg(QLatin1String(g_query), a.text)
                            .arg(a.start)
                            .arg(a.end);
                }
                if (offset < 0 || offset > length)
                    continue;
                const Answer& before = got[0];
                const Answer& at = got[1];
                const Answer& after = got[2];
                // A piece at an offset holds it; at the end only the character is empty.
                const bool holds = offset < length ? at.start <= offset && offset < at.end
                                   : type == QAccessible::CharBoundary ? at.text.isEmpty()
                                                                       : (length == 0 || at.end == length);
                const bool ordered = (before.text.isEmpty() || before.end <= at.start || at.text.isEmpty())
                                     && (after.text.isEmpty() || after.start >= at.end);
                if (!holds || !ordered)
                    return QStringLiteral("%1 \"%2\" offset %3 boundary %4: before [%5,%6) at [%7,%8) after [%9,%10)")
                        .arg(name, box->text())
                        .arg(offset)
                        .arg(int(type))
                        .arg(before.start)
                        .arg(before.end)
                        .arg(at.start)
                        .arg(at.end)
                        .arg(after.start)
                        .arg(after.end);
                if (offset == covered && offset < length) {
                    if (at.start != covered)
                        return QStringLiteral("%1 \"%2\" boundary %3: a gap at %4").arg(name, box->text()).arg(int(type)).arg(covered);
                    covered = at.end;
                }
            }
            if (covered != length)
                return QStringLiteral("%1 \"%2\" boundary %3: pieces end at %4").arg(name, box->text()).arg(int(type)).arg(covered);
        }

        // One run of attributes over the whole text, wherever it is asked.
        for (int offset = 0; offset <= length; ++offset) {
            int start = -2;
            int end = -2;
            std::snprintf(g_query, sizeof g_query, "%s attributes at %d", qPrintable(name), offset);
            t->attributes(offset, &start, &end);
            if (start != 0 || end != length)
                return QStringLiteral("%1: attributes at %2 span [%3, %4)").arg(name).arg(offset).arg(start).arg(end);
        }
        return {};
    }
};

QList<QLineEdit*> everyBox(ProgramRig& rig)
{
    QList<QLineEdit*> boxes = rig.form().findChildren<QLineEdit*>();
    const QList<QWidget*> others{&rig.program->form3(), &rig.program->serialMenu(), &rig.program->about(),
                                 &rig.program->dispForm()};
    for (QWidget* window : others)
        boxes += window->findChildren<QLineEdit*>();
    return boxes;
}

} // namespace

class TestTextQueries : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        std::signal(SIGALRM, watchdogFired);
        alarm(kWatchdogSeconds);
    }
    void cleanup() { alarm(0); }

    // Every box, with each text, the caret where an update leaves it (at the
    // end) and at the start.
    void everyBoxAnswersEveryQuery()
    {
        ProgramRig rig;
        rig.start();
        const QList<QLineEdit*> boxes = everyBox(rig);
        QVERIFY2(boxes.size() >= 7 + 7 + 3 + 2, qPrintable(QString::number(boxes.size())));
        Rig check;
        for (QLineEdit* box : boxes) {
            for (const QString& text : kTexts) {
                alarm(kWatchdogSeconds);
                box->setMaxLength(32767);
                box->setText(text);
                for (int caret : {int(text.size()), 0}) {
                    box->setCursorPosition(caret);
                    const QString fault = check.check(box);
                    QVERIFY2(fault.isEmpty(), qPrintable(fault));
                }
            }
        }
    }

    // Words as a screen reader moves by them through a reading and a name,
    // and the caret's offset (-2) standing for where the caret is.
    void wordsAndTheCaret()
    {
        ProgramRig rig;
        rig.start();
        QLineEdit* box = rig.find<QLineEdit>(QStringLiteral("ADValTxt(0)"));
        QAccessibleTextInterface* t = QAccessible::queryAccessibleInterface(box)->textInterface();
        int start = 0;
        int end = 0;
        // Each query named for the watchdog first.
        auto ask = [&](Where where, int offset, QAccessible::TextBoundaryType type) {
            std::snprintf(g_query, sizeof g_query, "\"%s\" offset %d boundary %d %s", qPrintable(box->text()),
                          offset, int(type), where == Before ? "before" : where == At ? "at" : "after");
            return where == Before ? t->textBeforeOffset(offset, type, &start, &end)
                   : where == At   ? t->textAtOffset(offset, type, &start, &end)
                                   : t->textAfterOffset(offset, type, &start, &end);
        };
        box->setText(QStringLiteral(" 786"));
        QCOMPARE(ask(At, 0, QAccessible::WordBoundary), QStringLiteral(" "));
        QCOMPARE(ask(At, 4, QAccessible::WordBoundary), QStringLiteral("786"));
        QCOMPARE(std::pair(start, end), std::pair(1, 4));
        QCOMPARE(ask(At, -2, QAccessible::LineBoundary), QStringLiteral(" 786"));
        QCOMPARE(ask(At, 3, QAccessible::CharBoundary), QStringLiteral("6"));
        QCOMPARE(ask(After, 3, QAccessible::CharBoundary), QString());
        QCOMPARE(std::pair(start, end), std::pair(4, 4));
        box->setText(QStringLiteral("Channel 0 reading, counts"));
        QCOMPARE(ask(After, 0, QAccessible::WordBoundary), QStringLiteral("0 "));
        QCOMPARE(ask(Before, 10, QAccessible::WordBoundary), QStringLiteral("0 "));
        QCOMPARE(ask(At, 12, QAccessible::WordBoundary), QStringLiteral("reading, "));
    }
};

QTEST_MAIN(TestTextQueries)
#include "tst_textqueries.moc"
