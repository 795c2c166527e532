#include "ui/frmAbout.h"

#include "generated/ZoltVersion.h"
#include "widgets/Fonts.h"
#include "widgets/MeterIcon.h"
#include "widgets/Twips.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <algorithm>

namespace {

// Client area and its place on the screen, twips.
constexpr int kClientWidth = 5730;
constexpr int kClientHeight = 3555;
constexpr int kClientLeft = 2340;
constexpr int kClientTop = 1935;

constexpr TwipsRect kPicIcon{240, 240, 540, 540};
constexpr TwipsRect kLblTitle{1050, 240, 4125, 480};
constexpr TwipsRect kLblVersion{1050, 780, 3885, 225};
constexpr TwipsRect kLblDescription{1050, 1125, 3885, 1170};
constexpr TwipsRect kLblDisclaimer{255, 2625, 3870, 825};
constexpr TwipsRect kCmdOK{4245, 2625, 1260, 345};
constexpr TwipsRect kCmdSysInfo{4260, 3075, 1245, 345};

// The etched separator: a grey line with a white one of two pixels under it.
struct LineSetting {
    const char* name;
    int x1;
    int x2;
    int y;
    int widthPixels;
    QRgb colour;
};
constexpr LineSetting kLine1Upper{"Line1(1)", 90, 5654, 2445, 1, 0x808080};
constexpr LineSetting kLine1Lower{"Line1(0)", 105, 5654, 2460, 2, 0xFFFFFF};
constexpr int kTwipsPerPixel = 15;

constexpr char kDescription[] =
    "For the 232ZOLT, a data-acquisition module on an RS-232 port, from the "
    "makers of the ZOLT line of serial I/O modules: analog and digital "
    "inputs, analog outputs and a digital output line.";

constexpr char kDisclaimer[] =
    "Warning:  This software is provided as demonstation sofware without warranty of any kind.  "
    "The user accepts all responsibility for use/misuse and operation.  "
    "Code is a functional example, verify your use.";

// Where the system information tool is recorded.
constexpr char kFirstKey[] = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr char kFirstValue[] = "PATH";
constexpr char kSecondKey[] = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr char kSecondValue[] = "MSINFO";
constexpr char kToolFile[] = "\\MSINFO32.EXE";
constexpr std::uint32_t kValueBufferBytes = 1024;

constexpr char kUnavailable[] = "System Information Is Unavailable At This Time";

// A horizontal line drawn across the whole widget.
class LineControl : public QWidget {
public:
    LineControl(const LineSetting& setting, QWidget* parent)
        : QWidget(parent)
        , m_colour(QColor::fromRgb(setting.colour))
    {
        setObjectName(QLatin1String(setting.name));
        setProperty("BorderColor", m_colour);
        const int height = setting.widthPixels * kTwipsPerPixel;
        twips::place(this, {setting.x1, setting.y, setting.x2 - setting.x1, height});
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), m_colour);
    }

private:
    QColor m_colour;
};

QLabel* makeLabel(QWidget* parent, const char* name, const TwipsRect& rect, bool black)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    if (black) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    twips::place(label, rect);
    return label;
}

} // namespace

frmAbout::frmAbout(SystemTools& tools, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_tools(tools)
{
    setObjectName(QStringLiteral("frmAbout"));
    setModal(false);
    setSizeGripEnabled(false);
    // The title-bar close destroys the box as OK does.
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(msSansSerif(kSmallFontPt));   // the toolkit's face for windows that name none

    const double dpi = twips::logicalDpi(this);
    setGeometry(twips::toPixels(kClientLeft, dpi), twips::toPixels(kClientTop, dpi),
                twips::toPixels(kClientWidth, dpi), twips::toPixels(kClientHeight, dpi));
    twips::setFixedClientSize(this, kClientWidth, kClientHeight);

    buildLayout();
    wireHandlers();
    Form_Load();
    m_cmdOK->setFocus();
}

void frmAbout::buildLayout()
{
    m_picIcon = makeLabel(this, "picIcon", kPicIcon, false);
    m_picIcon->setPixmap(meterIcon());
    m_picIcon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picIcon->setAccessibleName(QStringLiteral("Program icon: a meter dial"));

    m_lblTitle = makeLabel(this, "lblTitle", kLblTitle, true);
    m_lblVersion = makeLabel(this, "lblVersion", kLblVersion, false);

    m_lblDescription = makeLabel(this, "lblDescription", kLblDescription, true);
    m_lblDescription->setText(QLatin1String(kDescription));
    m_lblDescription->setWordWrap(true);
    m_lblDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    shrinkToFit(m_lblDescription);

    new LineControl(kLine1Upper, this);
    new LineControl(kLine1Lower, this);

    m_lblDisclaimer = makeLabel(this, "lblDisclaimer", kLblDisclaimer, true);
    m_lblDisclaimer->setText(QLatin1String(kDisclaimer));
    m_lblDisclaimer->setWordWrap(true);
    m_lblDisclaimer->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    shrinkToFit(m_lblDisclaimer);

    m_cmdOK = new QPushButton(QStringLiteral("OK"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    twips::place(m_cmdOK, kCmdOK);

    m_cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    m_cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    m_cmdSysInfo->setAutoDefault(false);
    twips::place(m_cmdSysInfo, kCmdSysInfo);

    m_cmdSysInfo->setAccessibleDescription(QStringLiteral("Starts the system information tool"));

    setTabOrder(m_cmdOK, m_cmdSysInfo);
}

void frmAbout::wireHandlers()
{
    connect(m_cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(m_cmdSysInfo, &QPushButton::clicked, this, &frmAbout::cmdSysInfo_Click);
}

void frmAbout::Form_Load()
{
    const QString title = QLatin1String(zoltversion::kProgramTitle);
    setWindowTitle(QStringLiteral("About ") + title);
    m_lblVersion->setText(QStringLiteral("Version %1.%2.%3")
                              .arg(zoltversion::kMajor)
                              .arg(zoltversion::kMinor)
                              .arg(zoltversion::kRevision));
    m_lblTitle->setText(title);
}

void frmAbout::cmdOK_Click()
{
    hide();
    deleteLater();
}

void frmAbout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmAbout::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        m_cmdOK->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmAbout::StartSysInfo()
{
    const RegKey root = SystemTools::kHKeyLocalMachine;
    try {
        QString path;
        bool found = GetKeyValue(root, QLatin1String(kFirstKey), QLatin1String(kFirstValue), path);
        // The recorded full path is started without an existence test.
        if (!found && GetKeyValue(root, QLatin1String(kSecondKey), QLatin1String(kSecondValue), path)) {
            path += QLatin1String(kToolFile);
            found = m_tools.fileExists(path);
        }
        if (found && m_tools.startProgram(path))
            return;
    } catch (const RegistryValueError&) {
        // falls through to the message
    }
    m_tools.showMessage(this, QLatin1String(zoltversion::kProgramTitle), QLatin1String(kUnavailable));
}

bool frmAbout::GetKeyValue(RegKey KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                           QString& KeyVal)
{
    RegKey hKey = 0;
    // The key is closed on every way out: after a failed open too, and when
    // the lookup is abandoned.
    struct KeyCloser {
        SystemTools& tools;
        const RegKey& key;
        ~KeyCloser() { tools.regCloseKey(key); }
    } closer{m_tools, hKey};

    if (m_tools.regOpenKeyEx(KeyRoot, KeyName.toLocal8Bit(), 0, SystemTools::kKeyAllAccess, &hKey)
        != SystemTools::kErrorSuccess) {
        KeyVal = QString();
        return false;
    }

    QByteArray buffer(kValueBufferBytes, '\0');
    std::uint32_t type = 0;
    std::uint32_t size = kValueBufferBytes;
    if (m_tools.regQueryValueEx(hKey, SubKeyRef.toLocal8Bit(), &type,
                                reinterpret_cast<unsigned char*>(buffer.data()), &size)
        != SystemTools::kErrorSuccess) {
        KeyVal = QString();
        return false;
    }

    // Trim to the value, dropping a string's terminating NUL.
    size = std::min(size, kValueBufferBytes);
    if (size == 0)
        throw RegistryValueError("registry value of size 0");
    const qsizetype length = static_cast<qsizetype>(size);
    const QByteArray trimmed = buffer.left(buffer.at(length - 1) == '\0' ? length - 1 : length);

    switch (type) {
    case SystemTools::kRegSz:
        KeyVal = QString::fromLocal8Bit(trimmed);
        break;
    case SystemTools::kRegDword: {
        // Last byte first, so the most significant comes first; each in
        // capital hexadecimal without leading zeros.
        QString hex;
        for (auto it = trimmed.crbegin(); it != trimmed.crend(); ++it)
            hex += QString::number(static_cast<unsigned char>(*it), 16).toUpper();
        KeyVal = QStringLiteral("&h") + hex;
        break;
    }
    default:
        break;  // left as the caller passed it
    }
    return true;
}
