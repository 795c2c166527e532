#include "link/Module1.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/RecordingViews.h"
#include "ui/Form3.h"
#include "widgets/IndexedName.h"
#include "widgets/SliderControl.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

QByteArray setCommand(int high, int low)
{
    return QByteArray("!0SV") + char(high) + char(low);
}

} // namespace

class TestForm3 : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void creation();
    void tabOrder();

    void set_data();
    void set();
    void setFromPastedText_data();
    void setFromPastedText();

    void slidersWriteText1();
    void arrowKeysMoveByStep();
    void pressAndReleaseSwitchTracking();
    void fineClickLeavesTrackingOn();
    void tickLetsWaitingEventsRun();

    void digitFilter_data();
    void digitFilter();

    void channelSwitching();
    void doneKeepsContents();
    void closeBoxDiscards();

private:
    template <typename T>
    T* child(const QString& name) const
    {
        return findControl<T>(*m_form, name);
    }
    QLineEdit* text1() const { return child<QLineEdit>(QStringLiteral("Text1")); }
    SliderControl* slider(int n) const { return child<SliderControl>(QStringLiteral("Slider%1").arg(n)); }
    QLabel* anaOut(int i) const { return child<QLabel>(indexedName("AnaOut", i)); }
    QPushButton* button(const QString& name) const { return child<QPushButton>(name); }
    void typeAndSet(const QString& typed);
    void showForm();

    std::unique_ptr<FakeSerialControl> m_comm;
    std::unique_ptr<RecordingViews> m_views;
    std::unique_ptr<Module1> m_module;
    QPointer<Form3> m_form;
};

void TestForm3::init()
{
    m_comm = std::make_unique<FakeSerialControl>();
    m_comm->setExistingPorts({1});
    QVERIFY(m_comm->setCommPort(1));
    QVERIFY(m_comm->setPortOpen(true));
    m_views = std::make_unique<RecordingViews>();
    m_module = std::make_unique<Module1>(*m_comm, *m_views);
    m_form = new Form3(*m_module);
}

void TestForm3::cleanup()
{
    delete m_form.data();
    m_module.reset();
    m_views.reset();
    m_comm.reset();
}

void TestForm3::showForm()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form));
}

void TestForm3::typeAndSet(const QString& typed)
{
    text1()->clear();
    text1()->setFocus();
    QTest::keyClicks(text1(), typed);
    QCOMPARE(text1()->text(), typed);
    QTest::mouseClick(button(QStringLiteral("Command2")), Qt::LeftButton);
}

void TestForm3::creation()
{
    QCOMPARE(m_form->objectName(), QStringLiteral("Form3"));
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Analog Output Voltage Control"));
    QVERIFY(m_form->isWindow());
    QCOMPARE(m_form->minimumSize(), m_form->maximumSize());

    QCOMPARE(text1()->text(), QString());
    QCOMPARE(text1()->maxLength(), 4);
    QCOMPARE(anaOut(0)->text(), QStringLiteral("0"));
    QCOMPARE(anaOut(1)->text(), QStringLiteral("000"));
    QCOMPARE(anaOut(2)->text(), QStringLiteral("0000"));
    QCOMPARE(child<QLineEdit>(QStringLiteral("Chbox"))->text(), QString());
    QVERIFY(!m_form->trackingOn());

    QCOMPARE(slider(1)->value(), 0);
    QCOMPARE(slider(2)->value(), 5);

    const QStringList captions{QStringLiteral("Ch0"), QStringLiteral("Ch1"), QStringLiteral("Ch2"),
                               QStringLiteral("Ch3")};
    for (int i = 0; i < 4; ++i)
        QCOMPARE(button(indexedName("ChCmd", i))->text(), captions[i]);
    QCOMPARE(button(QStringLiteral("Command1"))->text(), QStringLiteral("Done"));
    QCOMPARE(button(QStringLiteral("Command2"))->text(), QStringLiteral("Set"));

    // Nothing is sent by opening the window.
    QVERIFY(m_comm->written().isEmpty());
}

void TestForm3::tabOrder()
{
    showForm();
    const QStringList expected{QStringLiteral("Slider1"),  QStringLiteral("Text1"),
                               QStringLiteral("Command1"), QStringLiteral("Command2"),
                               QStringLiteral("Slider2"),  QStringLiteral("ChCmd(0)"),
                               QStringLiteral("ChCmd(1)"), QStringLiteral("ChCmd(2)"),
                               QStringLiteral("ChCmd(3)"), QStringLiteral("Chbox")};
    slider(1)->setFocus();
    QStringList seen;
    for (int i = 0; i < expected.size(); ++i) {
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused);
        seen << focused->objectName();
        QTest::keyClick(focused, Qt::Key_Tab);
    }
    QCOMPARE(seen, expected);
}

void TestForm3::set_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("labels");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("slider1");
    QTest::addColumn<int>("slider2");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("empty is 0 mV") << -1 << QString() << QStringList{" 0", " 0", " 0"}
                                   << " 0" << 0 << 0 << setCommand(0x00, 0x00);
    QTest::newRow("top of low range") << -1 << "3750" << QStringList{" 0", " 255", " 3750"}
                                      << "3750" << 3750 << 0 << setCommand(0x1F, 0x70);
    QTest::newRow("bottom of high range") << -1 << "3751" << QStringList{" 1", " 127", " 3751"}
                                          << "3751" << 3750 << 1 << setCommand(0x2F, 0x70);
    // The coarse slider is asked for 4300 and stops at its top.
    QTest::newRow("above the top") << -1 << "9999" << QStringList{" 1", " 146", " 4300"}
                                   << "4300" << 4290 << 0 << setCommand(0x32, 0x20);
    QTest::newRow("one digit") << -1 << "7" << QStringList{" 0", " 0", " 7"}
                               << " 7" << 0 << 7 << setCommand(0x00, 0x00);
    QTest::newRow("tens and units") << -1 << "1234" << QStringList{" 0", " 84", " 1234"}
                                    << "1234" << 1230 << 4 << setCommand(0x0A, 0x40);
    QTest::newRow("1000 on ch0") << 0 << "1000" << QStringList{" 0", " 68", " 1000"}
                                 << "1000" << 1000 << 0 << setCommand(0x08, 0x40);
    QTest::newRow("1000 on ch3") << 3 << "1000" << QStringList{" 0", " 68", " 1000"}
                                 << "1000" << 1000 << 0 << setCommand(0xC8, 0x40);
    QTest::newRow("4300 on ch2") << 2 << "4300" << QStringList{" 1", " 146", " 4300"}
                                 << "4300" << 4290 << 0 << setCommand(0xB2, 0x20);
}

void TestForm3::set()
{
    QFETCH(int, channel);
    QFETCH(QString, typed);
    QFETCH(QStringList, labels);
    QFETCH(QString, shown);
    QFETCH(int, slider1);
    QFETCH(int, slider2);
    QFETCH(QByteArray, sent);

    showForm();
    if (channel >= 0)
        QTest::mouseClick(button(indexedName("ChCmd", channel)), Qt::LeftButton);
    QVERIFY(m_comm->written().isEmpty());
    typeAndSet(typed);

    QCOMPARE(m_comm->writes(), QList<QByteArray>{sent});
    for (int i = 0; i < 3; ++i)
        QCOMPARE(anaOut(i)->text(), labels[i]);
    QCOMPARE(text1()->text(), shown);
    QCOMPARE(slider(1)->value(), slider1);
    QCOMPARE(slider(2)->value(), slider2);
    const int ch = channel < 0 ? 0 : channel;
    QCOMPARE(m_module->DacData[ch][2], labels[2].trimmed().toShort());
}

void TestForm3::setFromPastedText_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("letters first") << "ab12" << " 0" << setCommand(0x00, 0x00);
    QTest::newRow("minus sign") << "-5" << " 0" << setCommand(0x00, 0x00);
    QTest::newRow("digits then junk") << "12x" << " 12" << setCommand(0x00, 0x10);
    QTest::newRow("two leading blanks") << "  9" << " 9" << setCommand(0x00, 0x10);
    QTest::newRow("longer than four") << "123456" << "1234" << setCommand(0x0A, 0x40);
}

void TestForm3::setFromPastedText()
{
    QFETCH(QString, pasted);
    QFETCH(QString, shown);
    QFETCH(QByteArray, sent);

    showForm();
    QApplication::clipboard()->setText(pasted);
    if (QApplication::clipboard()->text() != pasted)
        QSKIP("no clipboard on this platform");
    text1()->paste();
    QCOMPARE(text1()->text(), pasted.left(4));

    QTest::mouseClick(button(QStringLiteral("Command2")), Qt::LeftButton);
    QCOMPARE(m_comm->writes(), QList<QByteArray>{sent});
    QCOMPARE(text1()->text(), shown);
}

void TestForm3::slidersWriteText1()
{
    showForm();
    slider(1)->setValue(1000);
    QCOMPARE(text1()->text(), QStringLiteral("1005"));
    slider(2)->setValue(0);
    QCOMPARE(text1()->text(), QStringLiteral("1000"));
    slider(1)->setValue(490);
    QCOMPARE(text1()->text(), QStringLiteral(" 490"));
    // The sliders only write the text; nothing goes to the module until Set.
    QVERIFY(m_comm->written().isEmpty());
    QVERIFY(!m_form->trackingOn());
}

void TestForm3::arrowKeysMoveByStep()
{
    showForm();
    slider(1)->setFocus();
    QTest::keyClick(slider(1), Qt::Key_Right);
    QCOMPARE(slider(1)->value(), 10);
    QCOMPARE(text1()->text(), QStringLiteral(" 15"));

    slider(2)->setFocus();
    QTest::keyClick(slider(2), Qt::Key_Right);
    QCOMPARE(slider(2)->value(), 6);
    QCOMPARE(text1()->text(), QStringLiteral(" 16"));
    QTest::keyClick(slider(2), Qt::Key_Left);
    QTest::keyClick(slider(2), Qt::Key_Left);
    QCOMPARE(text1()->text(), QStringLiteral(" 14"));
    QVERIFY(!m_form->trackingOn());
}

void TestForm3::pressAndReleaseSwitchTracking()
{
    showForm();
    for (int n : {1, 2}) {
        SliderControl* s = slider(n);
        const QPoint middle = s->rect().center();
        QTest::mousePress(s, Qt::LeftButton, {}, middle);
        QVERIFY2(m_form->trackingOn(), qPrintable(s->objectName()));
        QTest::mouseRelease(s, Qt::LeftButton, {}, middle);
        if (n == 1)
            QVERIFY(!m_form->trackingOn());
    }
}

void TestForm3::fineClickLeavesTrackingOn()
{
    showForm();
    QTest::mouseClick(slider(2), Qt::LeftButton, {}, slider(2)->rect().center());
    QVERIFY(m_form->trackingOn());
    const QString sum = QStringLiteral(" %1").arg(slider(1)->value() + slider(2)->value());
    QCOMPARE(text1()->text(), sum);

    // Typing is overwritten by the next tick.
    text1()->clear();
    text1()->setFocus();
    QTest::keyClicks(text1(), QStringLiteral("2222"));
    QCOMPARE(text1()->text(), QStringLiteral("2222"));
    QTRY_COMPARE_WITH_TIMEOUT(text1()->text(), sum, 2000);
    QCOMPARE(m_module->ValStr, sum);

    // A release on the coarse slider ends tracking.
    QTest::mousePress(slider(1), Qt::LeftButton, {}, QPoint(2, 2));
    QTest::mouseRelease(slider(1), Qt::LeftButton, {}, QPoint(2, 2));
    QVERIFY(!m_form->trackingOn());

    // So does Done.
    QTest::mouseClick(slider(2), Qt::LeftButton, {}, slider(2)->rect().center());
    QVERIFY(m_form->trackingOn());
    QTest::mouseClick(button(QStringLiteral("Command1")), Qt::LeftButton);
    QVERIFY(!m_form->trackingOn());
}

void TestForm3::tickLetsWaitingEventsRun()
{
    slider(1)->setPosition(2000);
    bool ran = false;
    QString textWhenRun;
    QObject context;  // drops the call if the tick never ran it
    QTimer::singleShot(0, &context, [&] {
        ran = true;
        textWhenRun = text1()->text();
    });
    m_form->Timer1_Timer();
    QVERIFY(ran);
    QCOMPARE(textWhenRun, QStringLiteral("2005"));
    QCOMPARE(m_module->ValStr, QStringLiteral("2005"));
}

void TestForm3::digitFilter_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QTestEventList>("keys");
    QTest::addColumn<QString>("after");

    auto clicks = [](const QString& text) {
        QTestEventList list;
        list.addKeyClicks(text);
        return list;
    };
    auto key = [](Qt::Key k, Qt::KeyboardModifiers mods = {}) {
        QTestEventList list;
        list.addKeyClick(k, mods);
        return list;
    };

    QTest::newRow("digits") << QString() << clicks("1290") << "1290";
    QTest::newRow("letters") << "12" << clicks("aZ") << "12";
    QTest::newRow("minus") << "12" << clicks("-") << "12";
    QTest::newRow("point") << "12" << clicks(".") << "12";
    QTest::newRow("blank") << "12" << clicks(" ") << "12";
    QTest::newRow("Enter") << "12" << key(Qt::Key_Return) << "12";
    QTest::newRow("keypad Enter") << "12" << key(Qt::Key_Enter, Qt::KeypadModifier) << "12";
    QTest::newRow("Backspace") << "123" << key(Qt::Key_Backspace) << "12";
    QTest::newRow("five digits leave four") << QString() << clicks("12345") << "1234";
    QTest::newRow("blank counts towards four") << " 500" << clicks("7") << " 500";
    QTest::newRow("room after a deletion") << " 500" << [] {
        QTestEventList list;
        list.addKeyClick(Qt::Key_Backspace);
        list.addKeyClicks(QStringLiteral("7"));
        return list;
    }() << " 507";
    QTest::newRow("Delete still edits") << "123" << [] {
        QTestEventList list;
        list.addKeyClick(Qt::Key_Home);
        list.addKeyClick(Qt::Key_Delete);
        return list;
    }() << "23";
    QTest::newRow("arrows still move") << "13" << [] {
        QTestEventList list;
        list.addKeyClick(Qt::Key_Left);
        list.addKeyClicks(QStringLiteral("2"));
        return list;
    }() << "123";
}

void TestForm3::digitFilter()
{
    QFETCH(QString, before);
    QFETCH(QTestEventList, keys);
    QFETCH(QString, after);

    showForm();
    text1()->setText(before);
    text1()->setFocus();
    text1()->end(false);
    // Enter must not reach the box either: no returnPressed.
    QSignalSpy entered(text1(), &QLineEdit::returnPressed);
    keys.simulate(text1());
    QCOMPARE(text1()->text(), after);
    QCOMPARE(entered.count(), 0);
    QVERIFY(m_comm->written().isEmpty());
    QVERIFY(m_form->isVisible());
}

void TestForm3::channelSwitching()
{
    showForm();
    auto* chbox = child<QLineEdit>(QStringLiteral("Chbox"));
    typeAndSet(QStringLiteral("1000"));
    QCOMPARE(m_comm->writes(), QList<QByteArray>{setCommand(0x08, 0x40)});

    QTest::mouseClick(button(QStringLiteral("ChCmd(2)")), Qt::LeftButton);
    QCOMPARE(m_module->DacChan, 2);
    QCOMPARE(chbox->text(), QStringLiteral(" 2"));
    QCOMPARE(text1()->text(), QStringLiteral(" 0"));
    QCOMPARE(slider(1)->value(), 0);
    QCOMPARE(slider(2)->value(), 0);
    QCOMPARE(anaOut(0)->text(), QStringLiteral(" 0"));
    QCOMPARE(anaOut(1)->text(), QStringLiteral(" 68"));
    QCOMPARE(anaOut(2)->text(), QStringLiteral(" 1000"));

    QTest::mouseClick(button(QStringLiteral("ChCmd(0)")), Qt::LeftButton);
    QCOMPARE(chbox->text(), QStringLiteral(" 0"));
    QCOMPARE(text1()->text(), QStringLiteral("1000"));
    QCOMPARE(slider(1)->value(), 1000);
    QCOMPARE(slider(2)->value(), 0);

    // A channel left at the top comes back as 4300 with the sliders at 4290 and 0.
    m_module->DacData[3][2] = 4300;
    QTest::mouseClick(button(QStringLiteral("ChCmd(3)")), Qt::LeftButton);
    QCOMPARE(text1()->text(), QStringLiteral("4300"));
    QCOMPARE(slider(1)->value(), 4290);
    QCOMPARE(slider(2)->value(), 0);

    // Choosing channels sends nothing.
    QCOMPARE(m_comm->writes().size(), 1);
}

void TestForm3::doneKeepsContents()
{
    showForm();
    typeAndSet(QStringLiteral("1234"));
    slider(2)->setValue(9);
    QTest::mouseClick(button(QStringLiteral("Command1")), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_form);
    QVERIFY(!m_form->isVisible());

    m_form->setChannelBox(QStringLiteral(" 0"));
    showForm();
    QCOMPARE(text1()->text(), QStringLiteral("1239"));
    QCOMPARE(slider(1)->value(), 1230);
    QCOMPARE(slider(2)->value(), 9);
    QCOMPARE(anaOut(2)->text(), QStringLiteral(" 1234"));
}

void TestForm3::closeBoxDiscards()
{
    showForm();
    QTest::mouseClick(slider(2), Qt::LeftButton, {}, slider(2)->rect().center());
    QVERIFY(m_form->trackingOn());
    QPointer<QTimer> timer = m_form->findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(timer);

    QVERIFY(m_form->close());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_form.isNull());
    QVERIFY(timer.isNull());
}

QTEST_MAIN(TestForm3)
#include "tst_form3.moc"
