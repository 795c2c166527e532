#include "scope/SourcePanel.h"

#include "link/BaudOptions.h"
#include "net/MqttUrl.h"

#include "scope/PortList.h"
#include "scope/ScopeSession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>

namespace scope {

namespace {

// Entries of the source list: the demo first, then COM1..16, a device path
// and, with MQTT, a broker.
constexpr int kDemoEntry = 0;
// The width the source's state is shortened to, pixels.
constexpr int kStateWidth = 280;

} // namespace

SourcePanel::SourcePanel(ScopeSession& session, QWidget* parent)
    : QGroupBox(QStringLiteral("Source"), parent)
    , ScopePanel(QStringLiteral("source"))
    , m_session(session)
{
    auto* form = new QFormLayout(this);
    m_sourceCombo = new QComboBox;
    m_sourceCombo->setAccessibleName(QStringLiteral("Source"));
    m_devicePath = new QLineEdit;
    m_devicePath->setPlaceholderText(QStringLiteral("/dev/ttyACM0"));
    m_devicePath->setAccessibleName(QStringLiteral("Device path"));
    m_baudCombo = new QComboBox;
    for (const BaudOption& b : kBaudOptions)
        m_baudCombo->addItem(QLatin1String(b.caption));
    m_baudCombo->setAccessibleName(QStringLiteral("Baud rate"));
    m_presenceCheck = new QCheckBox(QStringLiteral("Require DSR and CTS"));
    m_presenceCheck->setAccessibleName(QStringLiteral("Require DSR and CTS"));
    auto* refresh = new QPushButton(QStringLiteral("Refresh"));
    refresh->setAccessibleName(QStringLiteral("Refresh the port list"));
    m_connectButton = new QPushButton(QStringLiteral("Connect"));
    m_connectButton->setAccessibleName(QStringLiteral("Connect"));
    m_state = new QLabel;
    m_state->setWordWrap(true);
    m_state->setAccessibleName(QStringLiteral("Source state"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refresh);
    buttons->addWidget(m_connectButton);
    form->addRow(QStringLiteral("Port"), m_sourceCombo);
    form->addRow(QStringLiteral("Device"), m_devicePath);
    form->addRow(QStringLiteral("Baud"), m_baudCombo);
    form->addRow(m_presenceCheck);
    form->addRow(buttons);
    form->addRow(m_state);
    fillPorts();

    connect(refresh, &QPushButton::clicked, this, &SourcePanel::fillPorts);
    connect(m_connectButton, &QPushButton::clicked, this, [this] { (void)connectChosen(); });
    connect(m_sourceCombo, qOverload<int>(&QComboBox::currentIndexChanged), this, [this] { follow(m_session); });
    connect(&session, &ScopeSession::sourceChanged, this, &SourcePanel::showConnected);
    connect(&session, &ScopeSession::failed, m_state, &QLabel::setText);
}

void SourcePanel::fillPorts()
{
    const QVariant chosen = m_sourceCombo->currentData();
    m_sourceCombo->clear();
    m_sourceCombo->addItem(QStringLiteral("Demo (simulated module)"), QStringLiteral("demo"));
    auto* model = qobject_cast<QStandardItemModel*>(m_sourceCombo->model());
    for (const PortEntry& e : listPorts()) {
        m_sourceCombo->addItem(QStringLiteral("COM%1: %2").arg(e.port).arg(e.state), QStringLiteral("COM%1").arg(e.port));
        const int row = m_sourceCombo->count() - 1;
        m_sourceCombo->setItemData(row, QStringLiteral("%1 (%2)").arg(e.device, e.state), Qt::ToolTipRole);
        if (!e.opens && model)
            model->item(row)->setEnabled(false);
    }
    m_sourceCombo->addItem(QStringLiteral("Device path"), QStringLiteral("device"));
#ifdef ZOLT_HAS_MQTT
    // A bench on a broker: its URL goes where a device path would.
    m_sourceCombo->addItem(QStringLiteral("MQTT broker (URL)"), QStringLiteral("mqtt"));
#endif
    const int again = m_sourceCombo->findData(chosen);
    m_sourceCombo->setCurrentIndex(again >= 0 ? again : kDemoEntry);
}

QString SourcePanel::connectChosen()
{
    const QString kind = m_sourceCombo->currentData().toString();
    if (kind == QLatin1String("mqtt")) {
        const mqtt::UrlParse url = mqtt::parseUrl(m_devicePath->text().trimmed());
        if (!url.endpoint)
            return m_session.fail(url.error);
        front::MqttOptions options;
        options.enabled = true;
        options.endpoint = *url.endpoint;
        return m_session.connectToBroker(options);
    }
    front::LinkOptions link;
    if (kind == QLatin1String("demo"))
        link.simulate = true;
    else if (kind == QLatin1String("device"))
        link.device = m_devicePath->text().trimmed();
    else
        link.port = front::parseComPort(kind).value_or(0);
    if (kind == QLatin1String("device") && link.device.isEmpty())
        return m_session.fail(QStringLiteral("Type the device's path first."));
    link.baud = m_baudCombo->currentText().toInt();
    link.presenceCheck = m_presenceCheck->isChecked();
    return m_session.connectTo(link);
}

void SourcePanel::showLink(const front::LinkOptions& link)
{
    if (link.simulate) {
        m_sourceCombo->setCurrentIndex(kDemoEntry);
    } else if (!link.device.isEmpty()) {
        m_sourceCombo->setCurrentIndex(m_sourceCombo->findData(QStringLiteral("device")));
        m_devicePath->setText(link.device);
    } else if (link.port != 0) {
        const int at = m_sourceCombo->findData(QStringLiteral("COM%1").arg(link.port));
        if (at >= 0)
            m_sourceCombo->setCurrentIndex(at);
    }
    m_baudCombo->setCurrentText(QString::number(link.baud));
    m_presenceCheck->setChecked(link.presenceCheck);
}

void SourcePanel::showBroker(const front::MqttOptions& options)
{
    const int at = m_sourceCombo->findData(QStringLiteral("mqtt"));
    if (at >= 0)
        m_sourceCombo->setCurrentIndex(at);
    m_devicePath->setText(mqtt::urlText(options.endpoint, true));
}

void SourcePanel::showConnected()
{
    if (!m_session.source())
        return;
    // A long device path is shortened in the middle; the tooltip has it whole.
    const QString connected = QStringLiteral("Connected: %1").arg(m_session.source()->label());
    m_state->setText(m_state->fontMetrics().elidedText(connected, Qt::ElideMiddle, kStateWidth));
    m_state->setToolTip(connected);
}

void SourcePanel::follow(const ScopeSession& session)
{
    // The source is chosen while nothing runs.
    const bool running = session.sampling();
    for (QWidget* w : std::initializer_list<QWidget*>{m_sourceCombo, m_baudCombo, m_presenceCheck, m_connectButton})
        w->setEnabled(!running);
    const QString kind = m_sourceCombo->currentData().toString();
    const bool broker = kind == QLatin1String("mqtt");
    m_devicePath->setEnabled(!running && (kind == QLatin1String("device") || broker));
    m_devicePath->setPlaceholderText(broker ? QStringLiteral("mqtt://HOST/PREFIX") : QStringLiteral("/dev/ttyACM0"));
    m_devicePath->setAccessibleName(broker ? QStringLiteral("Broker URL") : QStringLiteral("Device path"));
}

void SourcePanel::load(QSettings& s)
{
    const int at = m_sourceCombo->findData(s.value(QStringLiteral("kind"), QStringLiteral("demo")).toString());
    m_sourceCombo->setCurrentIndex(at >= 0 ? at : kDemoEntry);
    m_devicePath->setText(s.value(QStringLiteral("device")).toString());
    m_baudCombo->setCurrentText(s.value(QStringLiteral("baud"), QLatin1String(kDefaultBaud.caption)).toString());
    m_presenceCheck->setChecked(s.value(QStringLiteral("presenceCheck"), true).toBool());
}

void SourcePanel::save(QSettings& s) const
{
    s.setValue(QStringLiteral("kind"), m_sourceCombo->currentData());
    s.setValue(QStringLiteral("device"), m_devicePath->text());
    s.setValue(QStringLiteral("baud"), m_baudCombo->currentText());
    s.setValue(QStringLiteral("presenceCheck"), m_presenceCheck->isChecked());
}

} // namespace scope
