// Lamps and the window pacer: values taken at once, painting held to one
// repaint per refresh, nothing left unpainted.

#include "tests/support/PaintCount.h"
#include "tests/support/Wait.h"
#include "widgets/FramePacer.h"
#include "widgets/Lamp.h"

#include <QTest>
#include <QWidget>

#include <chrono>

namespace {

// A lamp's paints and what it showed in the last.
struct PaintLog : PaintCount {
    explicit PaintLog(Lamp* lamp)
        : PaintCount(lamp, [this, lamp] { lastFill = lamp->fill(); })
    {
    }
    QColor lastFill;
};

constexpr Lamp::Colour kBlack = 0;
constexpr Lamp::Colour kYellow = 0x00FFFF;
constexpr Lamp::Colour kGreen = 0x00FF00;

// A shown window with one lamp, painted once and idle.
struct Window {
    Window()
    {
        window.resize(120, 60);
        lamp = new Lamp(&window);
        lamp->setGeometry(10, 10, 30, 30);
        lamp->setColour(kBlack);
        log = new PaintLog(lamp);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            qFatal("window not exposed");
        QTRY_VERIFY_WITH_TIMEOUT(log->paints > 0, 5000);
        QTest::qWait(100);   // the window system may expose it more than once
    }
    QWidget window;
    Lamp* lamp = nullptr;
    PaintLog* log = nullptr;
};

} // namespace

class TestLampPaint : public QObject {
    Q_OBJECT

private slots:
    void takesItsColourAtOnce()
    {
        Lamp lamp;
        QVERIFY(!lamp.painted());
        lamp.setColour(kYellow);
        QVERIFY(lamp.painted());
        QCOMPARE(lamp.colour(), kYellow);
        QCOMPARE(lamp.fill(), QColor(255, 255, 0));
    }

    // A colour that flips and comes back before the lamp is next painted
    // asks for no repaint; one that ends elsewhere is painted as it ends.
    void repaintedOnlyWhenTheColourEndsElsewhere()
    {
        Window w;
        const int before = w.log->paints;
        w.lamp->setColour(kYellow);
        w.lamp->setColour(kBlack);
        w.lamp->setColour(kYellow);
        w.lamp->setColour(kBlack);
        QVERIFY(testwait::holdsFor([&] { return w.log->paints == before; }, 50));

        w.lamp->setColour(kYellow);
        w.lamp->setColour(kGreen);
        QTRY_COMPARE(w.log->paints, before + 1);
        QCOMPARE(w.log->lastFill, Lamp::toQColor(kGreen));
    }

    // After a repaint, changes within the same refresh wait for the next
    // one, where they are painted together with their last values.
    void windowRepaintsOncePerRefresh()
    {
        Window w;
        auto* pacer = new FramePacer(&w.window);
        // A long refresh, so that the changes below surely fall within one.
        pacer->setFrameNs(1'000'000'000);
        const int before = w.log->paints;
        w.lamp->setColour(kYellow);   // the first repaint goes through
        QTRY_COMPARE(w.log->paints, before + 1);
        QVERIFY(!pacer->holding());

        w.lamp->setColour(kGreen);
        QTRY_VERIFY(pacer->holding());
        w.lamp->setColour(kBlack);
        w.lamp->setColour(kYellow);
        w.lamp->setColour(kGreen);
        QCOMPARE(w.lamp->colour(), kGreen);   // the value is there at once
        QCOMPARE(w.log->paints, before + 1);  // its painting waits

        QTRY_VERIFY(!pacer->holding());
        QCOMPARE(w.log->paints, before + 2);
        QCOMPARE(w.log->lastFill, Lamp::toQColor(kGreen));
    }

    // A repaint due just before the sampling pause ends waits for the pause's
    // tick (which sends the next command), and follows it at once. A pause
    // with longer to run lets it through.
    void repaintYieldsToThePauseAboutToEnd()
    {
        Window w;
        auto* pacer = new FramePacer(&w.window);
        pacer->setFrameNs(1);   // every repaint due at once, but for the pause
        QTimer pause;
        pause.setTimerType(Qt::PreciseTimer);
        pause.setSingleShot(true);
        pacer->yieldTo([&pause] { return FramePacer::nsUntilTick(pause); });
        int paintsAtTick = -1;
        connect(&pause, &QTimer::timeout, this, [&] { paintsAtTick = w.log->paints; });
        const int before = w.log->paints;

        pause.start(1);
        w.lamp->setColour(kYellow);
        QTRY_VERIFY(paintsAtTick >= 0);
        QCOMPARE(paintsAtTick, before);   // the tick came first
        QTRY_COMPARE(w.log->paints, before + 1);
        QVERIFY(!pacer->holding());

        pause.start(1000);
        w.lamp->setColour(kGreen);
        QTRY_COMPARE(w.log->paints, before + 2);
        QVERIFY(pause.isActive());
    }

    // A repaint held for a reply about to come goes as soon as the handler
    // says the next command is out, in that same pass; one released by its
    // timer while the reply is still due is held again, but never for longer
    // than a refresh.
    void repaintHeldForTheReplyGoesWhenQuiet()
    {
        Window w;
        auto* pacer = new FramePacer(&w.window);
        // A refresh long enough that the hold for the reply outlasts any
        // polling below (a slow machine or Wine polls coarsely).
        constexpr qint64 kLongFrameNs = 400'000'000;
        pacer->setFrameNs(kLongFrameNs);
        qint64 busyInNs = FramePacer::kYieldNs / 2;
        pacer->yieldTo([&busyInNs] { return busyInNs; });
        QTest::qWait(450);   // a refresh since the last repaint: the next one is due at once
        const int before = w.log->paints;

        w.lamp->setColour(kYellow);
        QTRY_VERIFY(pacer->holding());
        busyInNs = -1;
        pacer->quietNow();
        QCOMPARE(w.log->paints, before + 1);
        QVERIFY(!pacer->holding());

        // Always busy: held and held again, then painted after one refresh.
        constexpr qint64 kFrameNs = 40'000'000;
        pacer->setFrameNs(kFrameNs);
        busyInNs = 0;
        QTest::qWait(50);   // a refresh since the last repaint
        const auto changed = std::chrono::steady_clock::now();
        w.lamp->setColour(kGreen);
        QTRY_COMPARE(w.log->paints, before + 2);
        const auto heldNs = std::chrono::duration_cast<std::chrono::nanoseconds>(w.log->lastPaintAt - changed).count();
        QVERIFY2(heldNs >= kFrameNs, qPrintable(QString::number(heldNs)));
        QCOMPARE(w.log->lastFill, Lamp::toQColor(kGreen));
    }
};

QTEST_MAIN(TestLampPaint)
#include "tst_lamppaint.moc"
