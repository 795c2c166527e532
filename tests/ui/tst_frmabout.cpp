#include "ui/frmAbout.h"

#include "generated/ZoltVersion.h"

#include <QLabel>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTest>
#include <cstring>
#include <memory>

namespace {

const QByteArray kFirstKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const QByteArray kSecondKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");

struct RegValue {
    std::uint32_t type = SystemTools::kRegSz;
    QByteArray bytes;
};

// A registry of keys under HKEY_LOCAL_MACHINE, a set of files and programs,
// and a record of every call.
class FakeTools : public SystemTools {
public:
    QMap<QByteArray, QMap<QByteArray, RegValue>> keys;
    QSet<QString> files;
    QSet<QString> programs;  // paths that start

    int openAttempts = 0;
    int closes = 0;
    QSet<RegKey> openHandles;
    QList<QByteArray> opened;    // key paths asked for, in order
    QList<QByteArray> queried;   // value names asked for, in order
    QStringList existenceTests;
    QStringList startAttempts;
    QStringList started;
    QStringList messages;        // "title|text"
    bool wrongOpenArguments = false;

    std::int32_t regOpenKeyEx(RegKey root, const QByteArray& subKey, std::uint32_t options,
                              std::uint32_t access, RegKey* result) override
    {
        ++openAttempts;
        opened << subKey;
        if (root != kHKeyLocalMachine || options != 0 || access != kKeyAllAccess)
            wrongOpenArguments = true;
        if (!keys.contains(subKey)) {
            *result = 0;
            return kErrorFileNotFound;
        }
        *result = m_nextHandle++;
        openHandles.insert(*result);
        m_handleKey[*result] = subKey;
        return kErrorSuccess;
    }

    std::int32_t regQueryValueEx(RegKey key, const QByteArray& valueName, std::uint32_t* type,
                                 unsigned char* data, std::uint32_t* size) override
    {
        queried << valueName;
        if (!openHandles.contains(key))
            return 6;  // invalid handle
        const auto& values = keys[m_handleKey[key]];
        if (!values.contains(valueName))
            return kErrorFileNotFound;
        const RegValue& value = values[valueName];
        const auto length = static_cast<std::uint32_t>(value.bytes.size());
        if (length > *size) {
            *size = length;
            return kErrorMoreData;
        }
        if (length > 0)
            std::memcpy(data, value.bytes.constData(), length);
        *type = value.type;
        *size = length;
        return kErrorSuccess;
    }

    std::int32_t regCloseKey(RegKey key) override
    {
        ++closes;
        openHandles.remove(key);
        return kErrorSuccess;
    }

    bool fileExists(const QString& path) override
    {
        existenceTests << path;
        return files.contains(path);
    }

    bool startProgram(const QString& path) override
    {
        startAttempts << path;
        if (!programs.contains(path))
            return false;
        started << path;
        return true;
    }

    void showMessage(QWidget*, const QString& title, const QString& text) override
    {
        messages << title + QLatin1Char('|') + text;
    }

private:
    RegKey m_nextHandle = 0x100;
    QMap<RegKey, QByteArray> m_handleKey;
};

RegValue stringValue(const QByteArray& text, bool withNul)
{
    return {SystemTools::kRegSz, withNul ? text + '\0' : text};
}

} // namespace

Q_DECLARE_METATYPE(RegValue)

class TestFrmAbout : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void creation();
    void okDestroys_data();
    void okDestroys();

    void startSysInfo_data();
    void startSysInfo();
    void getKeyValue_data();
    void getKeyValue();
    void sizeZeroValueAbandonsLookup();
    void buttonRunsStartSysInfo();
    void noRegistryPlatform();

private:
    std::unique_ptr<FakeTools> m_fake;
    QPointer<frmAbout> m_about;
    FakeTools& tools() { return *m_fake; }
};

void TestFrmAbout::init()
{
    m_fake = std::make_unique<FakeTools>();
    m_about = new frmAbout(*m_fake);
}

void TestFrmAbout::cleanup()
{
    delete m_about.data();
    // Every key opened, and every failed open, was closed again.
    QCOMPARE(tools().closes, tools().openAttempts);
    QVERIFY(tools().openHandles.isEmpty());
    QVERIFY(!tools().wrongOpenArguments);
}

void TestFrmAbout::creation()
{
    QCOMPARE(m_about->objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(m_about->windowTitle(), QStringLiteral("About ZOLT Control"));
    QVERIFY(!m_about->isModal());
    QCOMPARE(m_about->minimumSize(), m_about->maximumSize());

    auto text = [this](const char* name) {
        auto* label = m_about->findChild<QLabel*>(QLatin1String(name));
        return label ? label->text() : QStringLiteral("<missing>");
    };
    QCOMPARE(text("lblTitle"), QStringLiteral("ZOLT Control"));
    QCOMPARE(text("lblVersion"), QStringLiteral("Version ") + QLatin1String(zoltversion::kVersionText));
    QVERIFY(text("lblDescription").contains(QStringLiteral("232ZOLT")));
    QCOMPARE(text("lblDisclaimer"),
             QStringLiteral("Warning:  This software is provided as demonstation sofware without "
                            "warranty of any kind.  The user accepts all responsibility for "
                            "use/misuse and operation.  Code is a functional example, verify your use."));

    auto* picIcon = m_about->findChild<QLabel*>(QStringLiteral("picIcon"));
    QVERIFY(picIcon);
    QCOMPARE(picIcon->pixmap().size(), QSize(32, 32));
    QVERIFY(m_about->findChild<QWidget*>(QStringLiteral("Line1(0)")));
    QVERIFY(m_about->findChild<QWidget*>(QStringLiteral("Line1(1)")));

    auto* ok = m_about->findChild<QPushButton*>(QStringLiteral("cmdOK"));
    auto* sysInfo = m_about->findChild<QPushButton*>(QStringLiteral("cmdSysInfo"));
    QVERIFY(ok && sysInfo);
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    QCOMPARE(sysInfo->text(), QStringLiteral("&System Info..."));

    m_about->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_about));
    QTRY_COMPARE(m_about->focusWidget(), ok);
    // Nothing is looked up until the button is pressed.
    QCOMPARE(tools().openAttempts, 0);
}

void TestFrmAbout::okDestroys_data()
{
    QTest::addColumn<int>("how");
    QTest::newRow("click OK") << 0;
    QTest::newRow("Enter") << 1;
    QTest::newRow("Esc") << 2;
    QTest::newRow("close box") << 3;
}

void TestFrmAbout::okDestroys()
{
    QFETCH(int, how);
    m_about->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_about));
    auto* ok = m_about->findChild<QPushButton*>(QStringLiteral("cmdOK"));
    switch (how) {
    case 0: QTest::mouseClick(ok, Qt::LeftButton); break;
    case 1: QTest::keyClick(m_about, Qt::Key_Return); break;
    case 2: QTest::keyClick(m_about, Qt::Key_Escape); break;
    default: m_about->close(); break;
    }
    QVERIFY(!m_about || !m_about->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_about.isNull());
    QVERIFY(tools().messages.isEmpty());
}

void TestFrmAbout::startSysInfo_data()
{
    using Values = QMap<QByteArray, RegValue>;
    QTest::addColumn<bool>("haveFirstKey");
    QTest::addColumn<Values>("first");
    QTest::addColumn<bool>("haveSecondKey");
    QTest::addColumn<Values>("second");
    QTest::addColumn<QStringList>("files");     // exist, and start when asked
    QTest::addColumn<QStringList>("existenceTests");
    QTest::addColumn<QStringList>("startAttempts");
    QTest::addColumn<bool>("message");

    const QString tool = QStringLiteral("C:\\Tools\\msinfo32.exe");
    const QByteArray dir = "C:\\Common\\MSINFO";
    const QString inDir = QString::fromLatin1(dir) + QStringLiteral("\\MSINFO32.EXE");
    const QString bare = QStringLiteral("\\MSINFO32.EXE");
    const Values path{{"PATH", stringValue(tool.toLatin1(), true)}};
    const Values directory{{"MSINFO", stringValue(dir, true)}};

    QTest::newRow("full path, started untested")
        << true << path << false << Values{} << QStringList{tool}
        << QStringList{} << QStringList{tool} << false;
    QTest::newRow("both keys, first wins")
        << true << path << true << directory << QStringList{tool, inDir}
        << QStringList{} << QStringList{tool} << false;
    QTest::newRow("first missing, directory has the tool")
        << false << Values{} << true << directory << QStringList{inDir}
        << QStringList{inDir} << QStringList{inDir} << false;
    QTest::newRow("first key without PATH, directory without NUL")
        << true << Values{{"OTHER", stringValue("x", true)}} << true
        << Values{{"MSINFO", stringValue(dir, false)}} << QStringList{inDir}
        << QStringList{inDir} << QStringList{inDir} << false;
    QTest::newRow("directory lacks the tool")
        << false << Values{} << true << directory << QStringList{}
        << QStringList{inDir} << QStringList{} << true;
    QTest::newRow("neither key")
        << false << Values{} << false << Values{} << QStringList{}
        << QStringList{} << QStringList{} << true;
    QTest::newRow("path names a missing program")
        << true << path << true << directory << QStringList{inDir}
        << QStringList{} << QStringList{tool} << true;
    QTest::newRow("value longer than the buffer")
        << true << Values{{"PATH", stringValue(QByteArray(1100, 'a'), true)}} << false << Values{}
        << QStringList{} << QStringList{} << QStringList{} << true;
    // Another type counts as found, with the text left as it was (empty).
    QTest::newRow("first value of another type")
        << true << Values{{"PATH", RegValue{3, "abc"}}} << false << Values{} << QStringList{}
        << QStringList{} << QStringList{QString()} << true;
    QTest::newRow("second value of another type")
        << false << Values{} << true << Values{{"MSINFO", RegValue{7, "abc"}}}
        << QStringList{bare} << QStringList{bare} << QStringList{bare} << false;
    QTest::newRow("second value 32-bit")
        << false << Values{} << true << Values{{"MSINFO", RegValue{4, QByteArray("\x05\x01\x00\x00", 4)}}}
        << QStringList{} << QStringList{QStringLiteral("&h015") + bare} << QStringList{} << true;
}

void TestFrmAbout::startSysInfo()
{
    using Values = QMap<QByteArray, RegValue>;
    QFETCH(bool, haveFirstKey);
    QFETCH(Values, first);
    QFETCH(bool, haveSecondKey);
    QFETCH(Values, second);
    QFETCH(QStringList, files);
    QFETCH(QStringList, existenceTests);
    QFETCH(QStringList, startAttempts);
    QFETCH(bool, message);

    if (haveFirstKey)
        tools().keys[kFirstKey] = first;
    if (haveSecondKey)
        tools().keys[kSecondKey] = second;
    tools().files = QSet<QString>(files.begin(), files.end());
    tools().programs = tools().files;

    m_about->StartSysInfo();

    QCOMPARE(tools().existenceTests, existenceTests);
    QCOMPARE(tools().startAttempts, startAttempts);
    if (message)
        QCOMPARE(tools().messages, QStringList{QStringLiteral("ZOLT Control|") + kUnavailable});
    else
        QCOMPARE(tools().messages, QStringList{});
    QVERIFY(m_about);
}

void TestFrmAbout::getKeyValue_data()
{
    QTest::addColumn<RegValue>("value");
    QTest::addColumn<QString>("passed");
    QTest::addColumn<QString>("expected");

    QTest::newRow("string with NUL") << stringValue("C:\\A\\B.EXE", true) << "x" << "C:\\A\\B.EXE";
    QTest::newRow("string without NUL") << stringValue("C:\\A\\B.EXE", false) << "x" << "C:\\A\\B.EXE";
    QTest::newRow("one character") << stringValue("Q", false) << "" << "Q";
    QTest::newRow("only a NUL") << stringValue("", true) << "x" << "";
    QTest::newRow("32-bit 05 01 00 00") << RegValue{4, QByteArray("\x05\x01\x00\x00", 4)} << ""
                                        << "&h015";
    QTest::newRow("32-bit all bytes set") << RegValue{4, QByteArray("\x1A\xFF\x10\x7F", 4)} << ""
                                          << "&h7F10FF1A";
    QTest::newRow("32-bit zero") << RegValue{4, QByteArray(4, '\0')} << "" << "&h000";
    QTest::newRow("other type keeps the passed text") << RegValue{3, "abc"} << "kept" << "kept";
}

void TestFrmAbout::getKeyValue()
{
    QFETCH(RegValue, value);
    QFETCH(QString, passed);
    QFETCH(QString, expected);

    tools().keys[kFirstKey] = {{"PATH", value}};
    QString keyVal = passed;
    QVERIFY(m_about->GetKeyValue(SystemTools::kHKeyLocalMachine, QString::fromLatin1(kFirstKey),
                                 QStringLiteral("PATH"), keyVal));
    QCOMPARE(keyVal, expected);

    // A missing value or key empties the text and reports not found.
    keyVal = passed;
    QVERIFY(!m_about->GetKeyValue(SystemTools::kHKeyLocalMachine, QString::fromLatin1(kFirstKey),
                                  QStringLiteral("NONE"), keyVal));
    QCOMPARE(keyVal, QString());
    keyVal = passed;
    QVERIFY(!m_about->GetKeyValue(SystemTools::kHKeyLocalMachine, QStringLiteral("NO\\SUCH"),
                                  QStringLiteral("PATH"), keyVal));
    QCOMPARE(keyVal, QString());
    QCOMPARE(tools().openAttempts, 3);
}

void TestFrmAbout::sizeZeroValueAbandonsLookup()
{
    // On the first key: the message at once, the second key is never opened.
    tools().keys[kFirstKey] = {{"PATH", RegValue{1, {}}}};
    tools().keys[kSecondKey] = {{"MSINFO", stringValue("C:\\D", true)}};
    tools().files = {QStringLiteral("C:\\D\\MSINFO32.EXE")};
    tools().programs = tools().files;
    m_about->StartSysInfo();
    QCOMPARE(tools().opened, QList<QByteArray>{kFirstKey});
    QCOMPARE(tools().messages.size(), 1);
    QVERIFY(tools().started.isEmpty());
    QCOMPARE(tools().closes, 1);

    // On the second key.
    tools().keys.remove(kFirstKey);
    tools().keys[kSecondKey] = {{"MSINFO", RegValue{1, {}}}};
    tools().messages.clear();
    m_about->StartSysInfo();
    QCOMPARE(tools().messages.size(), 1);
    QVERIFY(tools().existenceTests.isEmpty());
    QVERIFY(tools().started.isEmpty());

    QString keyVal;
    QVERIFY_THROWS_EXCEPTION(RegistryValueError,
                             m_about->GetKeyValue(SystemTools::kHKeyLocalMachine,
                                                  QString::fromLatin1(kSecondKey),
                                                  QStringLiteral("MSINFO"), keyVal));
}

void TestFrmAbout::buttonRunsStartSysInfo()
{
    m_about->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_about));
    QTest::mouseClick(m_about->findChild<QPushButton*>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
    QCOMPARE(tools().messages, QStringList{QStringLiteral("ZOLT Control|") + kUnavailable});
    // Alt+S is its access key.
    m_about->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_about));
    QTest::keyClick(m_about, Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(tools().messages.size(), 2);
    // The box stays open after the message.
    QVERIFY(m_about && m_about->isVisible());
}

void TestFrmAbout::noRegistryPlatform()
{
#ifdef Q_OS_WIN
    QSKIP("the registry is real here");
#else
    SystemTools& tools = platformSystemTools();
    RegKey key = 1;
    QVERIFY(tools.regOpenKeyEx(SystemTools::kHKeyLocalMachine, kFirstKey, 0,
                               SystemTools::kKeyAllAccess, &key)
            != SystemTools::kErrorSuccess);
    QVERIFY(!tools.startProgram(QString()));
#endif
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
