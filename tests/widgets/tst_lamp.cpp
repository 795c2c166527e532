#include "widgets/Lamp.h"

#include <QAccessible>
#include <QTest>


// A lamp knows no meanings of its own: the table it is given, a name for a
// colour outside it, and the text for before it is first painted.
class TestLamp : public QObject {
    Q_OBJECT

private slots:
    void meaningFollowsColour_data()
    {
        QTest::addColumn<bool>("paint");
        QTest::addColumn<int>("colour");
        QTest::addColumn<QString>("meaning");
        QTest::newRow("unpainted") << false << 0 << "waiting";
        QTest::newRow("in the table") << true << 0x00FF00 << "running";
        QTest::newRow("black in the table") << true << 0 << "stopped";
        QTest::newRow("red, not in the table") << true << 0x0000FF << "red";
        QTest::newRow("yellow, not in the table") << true << 0x00FFFF << "yellow";
        QTest::newRow("any other colour") << true << 0x204080 << "#804020";   // blue-green-red
    }

    void meaningFollowsColour()
    {
        QFETCH(bool, paint);
        QFETCH(int, colour);
        QFETCH(QString, meaning);
        Lamp lamp;
        lamp.setMeanings({{0x00FF00, QStringLiteral("running")}, {0, QStringLiteral("stopped")}},
                         QStringLiteral("waiting"));
        if (paint)
            lamp.setColour(colour);
        QCOMPARE(lamp.meaning(), meaning);
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&lamp);
        QVERIFY(iface);
        QCOMPARE(iface->text(QAccessible::Value), meaning);
        QCOMPARE(iface->text(QAccessible::Description), meaning);
    }

    // The name says what the lamp is and what its colour means now, in a
    // role screen readers know. (That a change reaches them as an event needs
    // the desktop's accessibility bus: the CTest test atspi_screen_reader.)
    void nameSaysWhatAndMeaning()
    {
        Lamp lamp;
        lamp.setAccessibleName(QStringLiteral("CTS line"));
        lamp.setMeanings({{0x00FF00, QStringLiteral("high")}, {0, QStringLiteral("low")}}, QStringLiteral("low"));
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&lamp);
        QCOMPARE(iface->role(), QAccessible::StaticText);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("CTS line, low"));
        lamp.setColour(0x00FF00);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("CTS line, high"));
    }

    // A newer meaning replaces the whole table.
    void newTableReplacesOld()
    {
        Lamp lamp;
        lamp.setMeanings({{0, QStringLiteral("low")}}, QString());
        lamp.setMeanings({{0x00FF00, QStringLiteral("high")}}, QString());
        lamp.setColour(0);
        QCOMPARE(lamp.meaning(), QStringLiteral("black"));
    }
};

QTEST_MAIN(TestLamp)
#include "tst_lamp.moc"
