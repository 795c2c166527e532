// The About box's System Info on the real Windows registry. about-registry.sh
// sets HKEY_LOCAL_MACHINE's values with "wine reg add" and runs one case at a
// time: each case first reads the values through Qt's own registry access,
// so a rig that set the wrong thing fails there, not in the box.

#include "ui/frmAbout.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

namespace {

const QString kMachine = QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\");
const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

QString registryValue(const QString& key, const QString& name)
{
    return QSettings(kMachine + key, QSettings::NativeFormat).value(name).toString();
}

} // namespace

class TestWindowsAbout : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void startsTheProgramTheFirstValueNames();
    void startsTheToolInTheFolderTheSecondValueNames();
    void unavailableWithoutTheValues();

private:
    // Presses System Info; returns the text of every message box it showed.
    QStringList pressSystemInfo();
    void expectStarted(const QString& program);

    QPointer<frmAbout> m_about;
};

void TestWindowsAbout::init()
{
    m_about = new frmAbout(platformSystemTools());
    m_about->show();
}

void TestWindowsAbout::cleanup()
{
    delete m_about;
}

QStringList TestWindowsAbout::pressSystemInfo()
{
    QStringList shown;
    // The message box is modal: read and dismiss it from the event loop.
    QTimer watch;
    watch.setInterval(20);
    connect(&watch, &QTimer::timeout, this, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown << box->windowTitle() + QLatin1Char('|') + box->text();
            box->accept();
        }
    });
    watch.start();
    auto* button = m_about->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"));
    button->click();
    QTest::qWait(200);   // a box shown late would still be caught
    return shown;
}

void TestWindowsAbout::expectStarted(const QString& program)
{
    const QString mark = program + QStringLiteral(".started");
    QFile::remove(mark);
    QVERIFY2(QFile::exists(program), qPrintable(program));
    QCOMPARE(pressSystemInfo(), QStringList());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(mark), 20000);
}

void TestWindowsAbout::startsTheProgramTheFirstValueNames()
{
    const QString program = registryValue(QStringLiteral("Shared Tools\\MSINFO"), QStringLiteral("PATH"));
    QVERIFY(!program.isEmpty());
    expectStarted(program);
}

void TestWindowsAbout::startsTheToolInTheFolderTheSecondValueNames()
{
    QVERIFY(registryValue(QStringLiteral("Shared Tools\\MSINFO"), QStringLiteral("PATH")).isEmpty());
    const QString folder = registryValue(QStringLiteral("Shared Tools Location"), QStringLiteral("MSINFO"));
    QVERIFY(!folder.isEmpty());
    expectStarted(folder + QStringLiteral("\\MSINFO32.EXE"));
}

void TestWindowsAbout::unavailableWithoutTheValues()
{
    QVERIFY(registryValue(QStringLiteral("Shared Tools\\MSINFO"), QStringLiteral("PATH")).isEmpty());
    const QString folder = registryValue(QStringLiteral("Shared Tools Location"), QStringLiteral("MSINFO"));
    // Either no folder, or one without the tool in it.
    QVERIFY(folder.isEmpty() || !QFile::exists(folder + QStringLiteral("\\MSINFO32.EXE")));
    QCOMPARE(pressSystemInfo(), QStringList{QStringLiteral("ZOLT Control|") + kUnavailable});
}

QTEST_MAIN(TestWindowsAbout)
#include "tst_windows_about.moc"
