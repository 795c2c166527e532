#include "scope/AcquisitionPanel.h"

#include "front/PauseText.h"

#include "scope/ScopeSession.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

namespace scope {

namespace {


} // namespace

AcquisitionPanel::AcquisitionPanel(ScopeSession& session, QWidget* parent)
    : QGroupBox(QStringLiteral("Acquisition"), parent)
    , ScopePanel(QStringLiteral("acquisition"))
    , m_session(session)
{
    auto* form = new QFormLayout(this);
    m_topChannel = new QSpinBox;
    m_topChannel->setRange(0, acquisition::kChannels - 1);
    m_topChannel->setPrefix(QStringLiteral("0 to "));
    m_topChannel->setAccessibleName(QStringLiteral("Channels, 0 to top channel"));
    m_digital = new QCheckBox(QStringLiteral("Digital lines 3 to 5"));
    m_digital->setAccessibleName(QStringLiteral("Digital lines 3 to 5"));
    m_pause = new QComboBox;
    m_pause->setEditable(true);
    m_pause->setInsertPolicy(QComboBox::NoInsert);
    for (const auto& p : acquisition::kNamedPauses)
        m_pause->addItem(QLatin1String(p.label), p.ms);
    m_pause->setToolTip(QStringLiteral("Pause between scans: a named one or a number of ms"));
    m_pause->setAccessibleName(QStringLiteral("Pause between scans"));
    // The field typed into is a control of its own to a screen reader.
    m_pause->lineEdit()->setAccessibleName(QStringLiteral("Pause between scans"));
    m_startButton = new QPushButton(QStringLiteral("Start"));
    m_startButton->setCheckable(true);
    m_startButton->setAccessibleName(QStringLiteral("Start or stop sampling"));
    form->addRow(QStringLiteral("Channels"), m_topChannel);
    form->addRow(m_digital);
    form->addRow(QStringLiteral("Pause"), m_pause);
    form->addRow(m_startButton);

    connect(m_topChannel, qOverload<int>(&QSpinBox::valueChanged), this, &AcquisitionPanel::apply);
    connect(m_digital, &QCheckBox::toggled, this, &AcquisitionPanel::apply);
    connect(m_pause, qOverload<int>(&QComboBox::currentIndexChanged), this, &AcquisitionPanel::apply);
    connect(m_pause->lineEdit(), &QLineEdit::editingFinished, this, &AcquisitionPanel::apply);
    // Toggled, not clicked: a screen reader's toggle action does not click.
    // A toggle to the state things are in already asks for nothing.
    connect(m_startButton, &QPushButton::toggled, this, [this](bool on) {
        if (on != m_session.sampling())
            on ? m_session.startSampling() : m_session.stopSampling();
    });
}

acquisition::Settings AcquisitionPanel::chosen() const
{
    acquisition::Settings st;
    st.topChannel = m_topChannel->value();
    st.digital = m_digital->isChecked();
    // A pause refused (and said so by apply) leaves the half second.
    st.pauseMs = chosenPause().value_or(acquisition::kNamedPauses[1].ms);
    return st;
}

std::optional<int> AcquisitionPanel::chosenPause() const
{
    // A named pause, or one typed as zoltctl takes it (a number may carry "ms").
    const QString text = m_pause->currentText().trimmed();
    const int named = m_pause->findText(text);
    if (named >= 0)
        return m_pause->itemData(named).toInt();
    return front::parsePause(text.endsWith(QLatin1String("ms")) ? text.chopped(2).trimmed() : text);
}

void AcquisitionPanel::setPause(int ms)
{
    const int named = m_pause->findData(ms);
    if (named >= 0)
        m_pause->setCurrentIndex(named);
    else
        m_pause->setEditText(QString::number(ms));
    apply();
}

void AcquisitionPanel::apply()
{
    if (!chosenPause())
        (void)m_session.fail(front::pauseRefused(QStringLiteral("The pause"), m_pause->currentText().trimmed()));
    m_session.setSettings(chosen());
}

void AcquisitionPanel::follow(const ScopeSession& session)
{
    // The columns of a file stay as they began.
    const bool recording = session.recorder().active();
    m_topChannel->setEnabled(!recording);
    m_digital->setEnabled(!recording);
    const bool running = session.sampling();
    m_startButton->setChecked(running);
    m_startButton->setText(running ? QStringLiteral("Stop") : QStringLiteral("Start"));
}

void AcquisitionPanel::load(QSettings& s)
{
    m_topChannel->setValue(s.value(QStringLiteral("topChannel"), 6).toInt());
    m_digital->setChecked(s.value(QStringLiteral("digital"), true).toBool());
    setPause(s.value(QStringLiteral("pauseMs"), acquisition::kMaxSpeedPauseMs).toInt());
}

void AcquisitionPanel::save(QSettings& s) const
{
    s.setValue(QStringLiteral("topChannel"), m_topChannel->value());
    s.setValue(QStringLiteral("digital"), m_digital->isChecked());
    s.setValue(QStringLiteral("pauseMs"), chosen().pauseMs);
}

} // namespace scope
