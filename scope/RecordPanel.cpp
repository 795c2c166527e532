#include "scope/RecordPanel.h"

#include "scope/ScopeSession.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

namespace scope {

namespace {

QString sizeText(qint64 bytes)
{
    return QLocale::system().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString clockText(qint64 ms)
{
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2:%3").arg(s / 3600, 2, 10, QLatin1Char('0')).arg(s / 60 % 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

RecordPanel::RecordPanel(ScopeSession& session, QWidget* parent)
    : QGroupBox(QStringLiteral("Record"), parent)
    , ScopePanel(QStringLiteral("record"))
    , m_session(session)
{
    auto* form = new QFormLayout(this);
    m_format = new QComboBox;
    m_format->addItems({QStringLiteral("CSV"), QStringLiteral("JSON lines")});
    m_format->setAccessibleName(QStringLiteral("Recording format"));
    m_button = new QPushButton(QStringLiteral("Record..."));
    m_button->setCheckable(true);
    m_button->setAccessibleName(QStringLiteral("Start or stop recording"));
    m_state = new QLabel(QStringLiteral("Not recording"));
    m_state->setWordWrap(true);
    m_state->setAccessibleName(QStringLiteral("Recording state"));
    form->addRow(QStringLiteral("Format"), m_format);
    form->addRow(m_button);
    form->addRow(m_state);
    // Toggled, not clicked, as the start button.
    connect(m_button, &QPushButton::toggled, this, &RecordPanel::setRecording);
}

void RecordPanel::setRecording(bool on)
{
    if (on == m_session.recorder().active())
        return;
    on ? chooseFile() : m_session.stopRecording();
}

void RecordPanel::chooseFile()
{
    const bool jsonl = m_format->currentIndex() == 1;
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Record to"), jsonl ? QStringLiteral("run.jsonl") : QStringLiteral("run.csv"),
        jsonl ? QStringLiteral("JSON lines (*.jsonl)") : QStringLiteral("CSV (*.csv)"), nullptr,
        QFileDialog::DontConfirmOverwrite);
    if (!path.isEmpty())
        (void)m_session.startRecording(path, jsonl ? front::Format::Jsonl : front::Format::Csv);
    follow(m_session);
}

void RecordPanel::follow(const ScopeSession& session)
{
    const Recorder& recorder = session.recorder();
    const bool recording = recorder.active();
    if (recording)
        m_format->setCurrentIndex(recorder.format() == front::Format::Jsonl ? 1 : 0);
    m_format->setEnabled(!recording);
    m_button->setChecked(recording);
    m_button->setText(recording ? QStringLiteral("Stop recording") : QStringLiteral("Record..."));
    if (recording) {
        m_state->setStyleSheet(QStringLiteral("QLabel { color: #b00000; font-weight: bold; }"));
        m_state->setText(QStringLiteral("\u25CF REC %1, %2 rows, %3\n%4")
                             .arg(clockText(recorder.elapsedMs()))
                             .arg(QLocale::system().toString(recorder.rows()))
                             .arg(sizeText(recorder.bytes()), recorder.path()));
    } else if (!recorder.error().isEmpty()) {
        m_state->setStyleSheet(QStringLiteral("QLabel { color: #b00000; }"));
        m_state->setText(recorder.error());
    } else {
        m_state->setStyleSheet(QString());
        m_state->setText(QStringLiteral("Not recording"));
    }
}

void RecordPanel::load(QSettings& s)
{
    m_format->setCurrentIndex(s.value(QStringLiteral("jsonl"), false).toBool() ? 1 : 0);
}

void RecordPanel::save(QSettings& s) const
{
    s.setValue(QStringLiteral("jsonl"), m_format->currentIndex() == 1);
}

} // namespace scope
