#include "widgets/MeterIcon.h"

#include <QTest>

// The desktop icons are the About box's picture drawn at other sizes: the same
// picture at 32 pixels, and at every size the dial over the red band.
class TestMeterIcon : public QObject {
    Q_OBJECT

private slots:
    void atThirtyTwoPixelsItIsTheAboutBoxPicture()
    {
        const QImage about = meterIcon().toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage scaled = meterIconImage(32).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(scaled.size(), about.size());
        QCOMPARE(scaled, about);
    }

    void everySizeKeepsTheLayout_data()
    {
        QTest::addColumn<int>("side");
        for (int side : {16, 22, 24, 48, 64, 128, 256})
            QTest::addRow("%d", side) << side;
    }

    void everySizeKeepsTheLayout()
    {
        QFETCH(int, side);
        const QImage image = meterIconImage(side);
        QCOMPARE(image.size(), QSize(side, side));
        // Above the dial the corners stay clear.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(side - 1, 0)), 0);
        // The band fills the bottom rows in red at its left edge.
        const QColor band = image.pixelColor(0, side - 1);
        QCOMPARE(band, QColor(255, 0, 0));
        // The dial's face is cream inside the scale marks, right of the needle.
        const QColor face = image.pixelColor(side * 20 / 32, side * 15 / 32);
        QCOMPARE(face, QColor(250, 244, 220));
    }
};

QTEST_MAIN(TestMeterIcon)
#include "tst_metericon.moc"
