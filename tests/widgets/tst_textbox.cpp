// A text box draws its text itself while nobody works in it; that must be
// the picture QLineEdit draws, and it must hand the drawing back to QLineEdit
// as soon as the box has the focus or a selection.

#include "widgets/FrameCacheStyle.h"
#include "widgets/FramePacer.h"
#include "widgets/Fonts.h"
#include "widgets/TextBox.h"
#include "tests/support/PaintCount.h"

#include <QApplication>
#include <QTest>

class TestTextBox : public QObject {
    Q_OBJECT

private slots:
    void drawsWhatLineEditDraws_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<double>("pointSize");
        QTest::addColumn<QString>("before");   // shown and painted first
        QTest::addColumn<QString>("text");
        const int left = Qt::AlignLeft | Qt::AlignVCenter;
        QTest::newRow("count") << QSize(41, 19) << left << true << kDefaultFontPt << " 12" << " 4095";
        QTest::newRow("taller box") << QSize(41, 21) << left << true << kDefaultFontPt << "" << " 2048";
        QTest::newRow("digital, centred") << QSize(17, 17) << int(Qt::AlignCenter) << true << kDefaultFontPt << "0" << "1";
        QTest::newRow("right, small face") << QSize(60, 19) << int(Qt::AlignRight | Qt::AlignVCenter) << true
                                           << kSmallFontPt << "1" << "-4095";
        QTest::newRow("top, bottom") << QSize(60, 30) << int(Qt::AlignRight | Qt::AlignBottom) << true
                                     << kDefaultFontPt << "" << "2.5";
        QTest::newRow("disabled") << QSize(41, 19) << left << false << kDefaultFontPt << " 1" << " 12";
        QTest::newRow("emptied") << QSize(41, 19) << left << true << kDefaultFontPt << " 4095" << "";
        QTest::newRow("control characters") << QSize(80, 19) << left << true << kDefaultFontPt << "" << "a\tb\x01" "c";
        QTest::newRow("too long, scrolled to its end") << QSize(41, 19) << left << true << kDefaultFontPt << ""
                                                       << "123456789012345";
    }

    void drawsWhatLineEditDraws()
    {
        QFETCH(QSize, size);
        QFETCH(int, alignment);
        QFETCH(bool, enabled);
        QFETCH(double, pointSize);
        QFETCH(QString, before);
        QFETCH(QString, text);
        FrameCacheStyle style;
        QWidget window;
        window.resize(200, 100);
        auto* plain = new QLineEdit(&window);
        auto* box = new TextBox(&window);
        box->move(100, 0);
        auto* elsewhere = new QLineEdit(&window);   // holds the focus
        elsewhere->move(0, 60);
        for (QLineEdit* b : {plain, static_cast<QLineEdit*>(box)}) {
            b->setStyle(&style);
            b->setFont(msSansSerif(pointSize));
            b->resize(size);
            b->setAlignment(Qt::Alignment(alignment));
            b->setEnabled(enabled);
            b->setText(before);
        }
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        elsewhere->setFocus();
        QTRY_VERIFY(elsewhere->hasFocus());
        QVERIFY(box->drawsOwnText());
        QCOMPARE(box->grab().toImage(), plain->grab().toImage());

        plain->setText(text);
        box->setText(text);
        QCOMPARE(box->text(), text);   // held at once, before any paint
        QCOMPARE(box->grab().toImage(), plain->grab().toImage());
    }

    void handsOverWhenWorkedIn()
    {
        QWidget window;
        auto* box = new TextBox(&window);
        auto* elsewhere = new QLineEdit(&window);
        elsewhere->move(0, 40);
        new FramePacer(&window);
        auto* count = new PaintCount(box);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        elsewhere->setFocus();
        QTRY_VERIFY(elsewhere->hasFocus());
        QVERIFY(box->drawsOwnText());
        // Each new text is painted, also one as long as the last (QLineEdit,
        // its layout empty, asks for no repaint then).
        for (const char* text : {" 22", " 23", " 4095"}) {
            const int before = count->paints;
            box->setText(QLatin1String(text));
            QTRY_VERIFY(count->paints > before);
        }
        const Qt::InputMethodHints hints = box->inputMethodHints();

        // Focus: typing and the cursor are QLineEdit's, with the text it holds.
        box->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(box->hasFocus());
        QVERIFY(!box->drawsOwnText());
        QCOMPARE(box->selectedText(), QStringLiteral(" 4095"));
        QCOMPARE(box->inputMethodHints(), hints);
        elsewhere->setFocus();
        QTRY_VERIFY(box->drawsOwnText());

        // A selection made from outside (a screen reader, say) is QLineEdit's
        // to show and to copy.
        box->setSelection(0, 1);
        QVERIFY(!box->drawsOwnText());
        box->deselect();
        QVERIFY(box->drawsOwnText());

        // Where a point falls in the text is the same in both modes.
        const QPoint atEnd(box->width() - 4, box->height() / 2);
        const int own = box->offsetAt(atEnd);
        box->setFocus();
        QTRY_VERIFY(!box->drawsOwnText());
        QCOMPARE(own, box->cursorPositionAt(atEnd));
    }
};

QTEST_MAIN(TestTextBox)
#include "tst_textbox.moc"
