// The text box panel drawn from a cached picture looks exactly as drawn
// directly, in each state a reading's box can be in.

#include "widgets/FrameCacheStyle.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>

class TestFrameCacheStyle : public QObject {
    Q_OBJECT

private slots:
    void samePixels_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("focused");
        QTest::addColumn<QString>("text");
        QTest::newRow("count box") << QSize(41, 19) << true << false << QStringLiteral(" 4095");
        QTest::newRow("taller box") << QSize(41, 21) << true << false << QStringLiteral(" 2048");
        QTest::newRow("digital box") << QSize(17, 17) << true << false << QStringLiteral("1");
        QTest::newRow("disabled") << QSize(41, 19) << false << false << QStringLiteral(" 12");
        QTest::newRow("focused") << QSize(41, 19) << true << true << QStringLiteral("-1");
    }

    void samePixels()
    {
        QFETCH(QSize, size);
        QFETCH(bool, enabled);
        QFETCH(bool, focused);
        QFETCH(QString, text);
        FrameCacheStyle style;
        QWidget window;
        window.resize(200, 80);
        auto* direct = new QLineEdit(text, &window);
        auto* cached = new QLineEdit(text, &window);
        cached->setStyle(&style);
        for (QLineEdit* box : {direct, cached}) {
            box->resize(size);
            box->setEnabled(enabled);
        }
        cached->move(100, 0);
        auto* elsewhere = new QLineEdit(&window);   // holds the focus when the boxes may not
        elsewhere->move(0, 50);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QList<QImage> pictures;
        for (QLineEdit* box : {direct, cached}) {
            QWidget* focus = focused ? box : elsewhere;
            focus->setFocus();
            QTRY_VERIFY(focus->hasFocus());
            box->setCursorPosition(0);
            pictures << box->grab().toImage();
        }
        QCOMPARE(pictures[1], pictures[0]);
        // Drawn a second time, now from the picture the first drawing cached.
        QCOMPARE(cached->grab().toImage(), pictures[0]);
    }
};

QTEST_MAIN(TestFrameCacheStyle)
#include "tst_framecachestyle.moc"
