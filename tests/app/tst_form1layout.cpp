// The main window's stored look: where each control stands, its caption, the
// window's frame and the keyboard order.

#include "tests/app/ProgramRig.h"

#include "widgets/Twips.h"

#include <QGroupBox>
#include <QLabel>

class TestForm1Layout : public QObject {
    Q_OBJECT

    static QRect inClient(Form1& form, QWidget* w)
    {
        QWidget* client = form.centralWidget();
        return QRect(w->mapTo(client, QPoint(0, 0)), w->size());
    }

private slots:
    void placesAndCaptions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("place");   // left, top, width, height
        QTest::newRow("ADCmdbut(0)") << "ADCmdbut(0)" << "0" << QRect(120, 120, 615, 375);
        QTest::newRow("ADCmdbut(6)") << "ADCmdbut(6)" << "6" << QRect(4440, 120, 615, 375);
        QTest::newRow("ChLite(3)") << "ChLite(3)" << "" << QRect(2280, 600, 615, 135);
        QTest::newRow("ADValTxt(3)") << "ADValTxt(3)" << "" << QRect(2280, 840, 615, 360);
        QTest::newRow("ADValTxt(4)") << "ADValTxt(4)" << "" << QRect(3000, 840, 615, 375);
        QTest::newRow("VolValTxt(5)") << "VolValTxt(5)" << "" << QRect(3720, 1320, 615, 375);
        QTest::newRow("Frame1") << "Frame1" << "   Digital  D1  D0  Out" << QRect(120, 1800, 2055, 1095);
        QTest::newRow("Command1") << "Command1" << "On/Off" << QRect(240, 2280, 735, 495);
        QTest::newRow("DLite(5)") << "DLite(5)" << "" << QRect(1080, 2040, 255, 255);
        QTest::newRow("DLite(3)") << "DLite(3)" << "" << QRect(1800, 2040, 255, 255);
        QTest::newRow("DinTxt(3)") << "DinTxt(3)" << "" << QRect(1800, 2400, 255, 360);
        QTest::newRow("DinTxt(4)") << "DinTxt(4)" << "" << QRect(1440, 2400, 255, 375);
        QTest::newRow("Command7") << "Command7" << "D-On" << QRect(1200, 3000, 975, 615);
        QTest::newRow("SamLite(0)") << "SamLite(0)" << "" << QRect(2280, 1800, 1335, 135);
        QTest::newRow("SamLite(1)") << "SamLite(1)" << "" << QRect(3720, 1800, 1335, 135);
        QTest::newRow("Command13") << "Command13" << "D-in" << QRect(2280, 2040, 1350, 495);
        QTest::newRow("Command3") << "Command3" << "A/D-in" << QRect(3720, 2040, 1350, 495);
        QTest::newRow("Command12") << "Command12" << "" << QRect(2280, 2640, 1350, 615);
        QTest::newRow("Command6") << "Command6" << "" << QRect(2280, 3360, 1350, 615);
        QTest::newRow("Label1") << "Label1" << "Start  Samples" << QRect(3720, 3000, 1335, 375);
        QTest::newRow("Label4") << "Label4" << "Stop" << QRect(3720, 3240, 495, 375);
        QTest::newRow("Command4") << "Command4" << "Exit" << QRect(4080, 3600, 975, 375);
        QTest::newRow("LiteXfer") << "LiteXfer" << "" << QRect(120, 3000, 135, 255);
        QTest::newRow("Label6") << "Label6" << "Xfer Stat" << QRect(360, 3000, 735, 255);
        QTest::newRow("Lite3") << "Lite3" << "" << QRect(120, 3360, 135, 255);
        QTest::newRow("Label2") << "Label2" << "CTS" << QRect(360, 3360, 615, 255);
        QTest::newRow("Lite1") << "Lite1" << "" << QRect(120, 3720, 135, 255);
        QTest::newRow("Label3") << "Label3" << "DSR" << QRect(360, 3720, 495, 255);
    }
    void placesAndCaptions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, place);
        ProgramRig rig;
        QWidget* w = rig.find(name);
        const double dpi = twips::logicalDpi(w);
        const QRect expected = twips::toPixels(TwipsRect{place.x(), place.y(), place.width(), place.height()}, dpi);
        QCOMPARE(inClient(rig.form(), w), expected);
        if (auto* b = qobject_cast<QPushButton*>(w))
            QCOMPARE(b->text(), caption);
        else if (auto* l = qobject_cast<QLabel*>(w))
            QCOMPARE(l->text(), caption);
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            QCOMPARE(g->title(), caption);
    }

    void captionsFitTheirControls()
    {
        ProgramRig rig;
        rig.start();
        for (QLabel* label : rig.form().findChildren<QLabel*>()) {
            const int needed = label->fontMetrics().horizontalAdvance(label->text());
            QVERIFY2(needed <= label->width(), qPrintable(label->objectName()));
        }
        for (QPushButton* b : rig.form().findChildren<QPushButton*>()) {
            const int needed = b->fontMetrics().horizontalAdvance(b->text());
            QVERIFY2(needed < b->width(), qPrintable(b->objectName()));
        }
    }

    void windowFrame()
    {
        ProgramRig rig;
        rig.start();
        Form1& form = rig.form();
        const double dpi = twips::logicalDpi(&form);
        QCOMPARE(form.centralWidget()->size(), QSize(twips::toPixels(5145, dpi), twips::toPixels(4095, dpi)));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!(form.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!form.windowIcon().isNull());
        QCOMPARE(form.centralWidget()->palette().color(QPalette::Window), QColor(192, 192, 192));
        QVERIFY(!rig.button("Command12")->icon().isNull());
        QVERIFY(!rig.button("Command6")->icon().isNull());
        QCOMPARE(rig.button("Command4")->font().pointSizeF(), 8.25);
    }

    void startingLook()
    {
        ProgramRig rig;
        for (const char* name : {"LiteXfer", "Lite1", "Lite3"})
            QCOMPARE(rig.lamp(QLatin1String(name))->colour(), kColBlack);
        QCOMPARE(rig.lamp("DLite(3)")->fill(), QColor(192, 192, 192));
        for (const char* name : {"ChLite(0)", "DLite(4)", "SamLite(0)", "SamLite(1)"})
            QVERIFY(!rig.lamp(QLatin1String(name))->painted());
        for (QPushButton* b : rig.form().findChildren<QPushButton*>())
            QVERIFY(b->isEnabled());
        QCOMPARE(rig.form().Timer1().interval(), 1000);   // until start-up sets 500 ms
    }

    // The readings' boxes draw their panels from cached pictures: the window
    // looks exactly as with the plain style, readings and all.
    void readingBoxesLookAsPlainOnes()
    {
        ProgramRig rig;
        rig.start();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.form()));
        rig.form().setADValTxt(0, QStringLiteral(" 4095"));
        rig.form().setVolValTxt(3, QStringLiteral(" 5000"));
        rig.form().setDinTxt(4, QStringLiteral("1"));
        const QImage cached = rig.form().grab().toImage();
        const QList<QLineEdit*> boxes = rig.form().findChildren<QLineEdit*>();
        QVERIFY(boxes.size() >= 17);
        for (QLineEdit* box : boxes)
            box->setStyle(QApplication::style());
        QCOMPARE(rig.form().grab().toImage(), cached);
    }

    void keyboardOrder()
    {
        ProgramRig rig;
        rig.start();
        QStringList expected{"Command4", "Command1", "ADCmdbut(0)", "Command3", "ADCmdbut(4)", "Command6",
                             "Command12", "Command13", "ADCmdbut(1)", "ADCmdbut(5)", "ADCmdbut(2)", "ADCmdbut(6)",
                             "ADCmdbut(3)"};
        for (int i = 0; i <= 6; ++i)
            expected << indexedName("ADValTxt", i);
        expected << "DinTxt(3)" << "DinTxt(5)" << "DinTxt(4)";
        for (int i = 0; i <= 6; ++i)
            expected << indexedName("VolValTxt", i);
        expected << "Command7";
        QStringList actual;
        QWidget* w = rig.button("Command4");
        for (int i = 0; i < expected.size(); ++i) {
            actual << w->objectName();
            w = w->nextInFocusChain();
            while (w && w->focusPolicy() == Qt::NoFocus)
                w = w->nextInFocusChain();
        }
        QCOMPARE(actual, expected);
    }
};

QTEST_MAIN(TestForm1Layout)
#include "tst_form1layout.moc"
