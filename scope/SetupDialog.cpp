#include "scope/SetupDialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

namespace scope {

namespace {

enum InputColumn { kInputNumber, kInputName, kInputUnit, kInputGain, kInputOffset, kInputCalibrate, kInputColumns };
enum LineColumn { kLineNumber, kLineName, kLineLow, kLineHigh, kLineColumns };

QString numberText(double v)
{
    return QString::number(v, 'g', 12);
}

QTableWidgetItem* fixedItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    return item;
}

QString cell(const QTableWidget* table, int row, int column)
{
    const QTableWidgetItem* item = table->item(row, column);
    return item ? item->text() : QString();
}

void setCell(QTableWidget* table, int row, int column, const QString& text, const QString& accessible)
{
    auto* item = new QTableWidgetItem(text);
    item->setData(Qt::AccessibleTextRole, accessible);
    table->setItem(row, column, item);
}

} // namespace

// ---------------------------------------------------------------- calibration

CalibrationDialog::CalibrationDialog(const QString& input, const QString& unit,
                                     std::function<std::optional<double>()> reading, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Calibrate %1").arg(input));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral("Bring the sensor to two known conditions. At each, enter the input's "
                                            "reading (or take the present one) and the true value there."));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Reading, mV")), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("True value, %1").arg(unit.isEmpty() ? QStringLiteral("no unit") : unit)), 0, 3);
    for (int i = 0; i < 2; ++i) {
        const QString point = QStringLiteral("Point %1").arg(i + 1);
        grid->addWidget(new QLabel(point), i + 1, 0);
        m_mv[i] = new QDoubleSpinBox;
        m_mv[i]->setRange(front::kSetupLowestMv, front::kSetupHighestMv);
        m_mv[i]->setDecimals(1);
        m_mv[i]->setAccessibleName(QStringLiteral("%1, reading in millivolts").arg(point));
        auto* take = new QPushButton(QStringLiteral("Take reading"));
        take->setAccessibleName(QStringLiteral("%1, take the present reading").arg(point));
        take->setEnabled(static_cast<bool>(reading));
        m_value[i] = new QDoubleSpinBox;
        m_value[i]->setRange(-1e9, 1e9);
        m_value[i]->setDecimals(4);
        m_value[i]->setAccessibleName(QStringLiteral("%1, true value").arg(point));
        grid->addWidget(m_mv[i], i + 1, 1);
        grid->addWidget(take, i + 1, 2);
        grid->addWidget(m_value[i], i + 1, 3);
        connect(take, &QPushButton::clicked, this, [this, i, reading] {
            if (const auto mv = reading ? reading() : std::nullopt)
                m_mv[i]->setValue(*mv);
            else
                m_result->setText(QStringLiteral("No reading yet: start sampling first."));
        });
        connect(m_mv[i], &QDoubleSpinBox::valueChanged, this, &CalibrationDialog::update);
        connect(m_value[i], &QDoubleSpinBox::valueChanged, this, &CalibrationDialog::update);
    }
    layout->addLayout(grid);
    m_result = new QLabel;
    m_result->setWordWrap(true);
    m_result->setAccessibleName(QStringLiteral("Calibration result"));
    layout->addWidget(m_result);
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setPoints({0, 0}, {5000, 5000});
}

void CalibrationDialog::setPoints(const front::CalibrationPoint& a, const front::CalibrationPoint& b)
{
    m_mv[0]->setValue(a.millivolts);
    m_value[0]->setValue(a.value);
    m_mv[1]->setValue(b.millivolts);
    m_value[1]->setValue(b.value);
    update();
}

std::array<front::CalibrationPoint, 2> CalibrationDialog::points() const
{
    return {front::CalibrationPoint{m_mv[0]->value(), m_value[0]->value()},
            front::CalibrationPoint{m_mv[1]->value(), m_value[1]->value()}};
}

std::optional<front::Scale> CalibrationDialog::scale() const
{
    const auto p = points();
    return front::ChannelSetup::scaleThrough(p[0], p[1]);
}

void CalibrationDialog::update()
{
    const auto p = points();
    QString why;
    const auto s = front::ChannelSetup::scaleThrough(p[0], p[1], &why);
    m_result->setText(s ? QStringLiteral("Gain %1 a mV, offset %2").arg(numberText(s->gain), numberText(s->offset))
                        : QStringLiteral("Not usable: %1").arg(why));
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(s.has_value());
}

// ---------------------------------------------------------------- the setup

SetupDialog::SetupDialog(const front::ChannelSetup& setup, std::function<std::optional<double>(int)> reading,
                         QWidget* parent)
    : QDialog(parent)
    , m_reading(std::move(reading))
{
    setWindowTitle(QStringLiteral("Channel setup"));
    setObjectName(QStringLiteral("SetupDialog"));
    auto* layout = new QVBoxLayout(this);

    layout->addWidget(new QLabel(QStringLiteral("Inputs: value = gain \u00d7 mV + offset")));
    m_inputs = new QTableWidget(front::kSetupInputs, kInputColumns);
    m_inputs->setObjectName(QStringLiteral("inputs"));
    m_inputs->setAccessibleName(QStringLiteral("Inputs: name, unit, gain and offset"));
    m_inputs->setHorizontalHeaderLabels({QStringLiteral("Input"), QStringLiteral("Name"), QStringLiteral("Unit"),
                                         QStringLiteral("Gain, unit a mV"), QStringLiteral("Offset"), QString()});
    m_inputs->verticalHeader()->setVisible(false);
    for (int n = 0; n < front::kSetupInputs; ++n) {
        m_inputs->setItem(n, kInputNumber, fixedItem(QString::number(n)));
        auto* button = new QPushButton(QStringLiteral("Calibrate..."));
        button->setAccessibleName(QStringLiteral("Calibrate input %1 by two points").arg(n));
        m_inputs->setCellWidget(n, kInputCalibrate, button);
        connect(button, &QPushButton::clicked, this, [this, n] { calibrate(n); });
    }
    m_inputs->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_inputs->horizontalHeader()->setSectionResizeMode(kInputName, QHeaderView::Stretch);
    layout->addWidget(m_inputs, 3);

    layout->addWidget(new QLabel(QStringLiteral("Digital lines")));
    m_lines = new QTableWidget(front::kSetupLines, kLineColumns);
    m_lines->setObjectName(QStringLiteral("lines"));
    m_lines->setAccessibleName(QStringLiteral("Digital lines: name and the words for 0 and 1"));
    m_lines->setHorizontalHeaderLabels(
        {QStringLiteral("Line"), QStringLiteral("Name"), QStringLiteral("Word for 0"), QStringLiteral("Word for 1")});
    m_lines->verticalHeader()->setVisible(false);
    for (int i = 0; i < front::kSetupLines; ++i)
        m_lines->setItem(i, kLineNumber, fixedItem(QString::number(front::kSetupFirstLine + i)));
    m_lines->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_lines->horizontalHeader()->setSectionResizeMode(kLineName, QHeaderView::Stretch);
    layout->addWidget(m_lines, 2);

    m_message = new QLabel;
    m_message->setWordWrap(true);
    m_message->setAccessibleName(QStringLiteral("Setup message"));
    layout->addWidget(m_message);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* open = buttons->addButton(QStringLiteral("Open..."), QDialogButtonBox::ActionRole);
    QPushButton* save = buttons->addButton(QStringLiteral("Save as..."), QDialogButtonBox::ActionRole);
    open->setAccessibleName(QStringLiteral("Open a setup file"));
    save->setAccessibleName(QStringLiteral("Save the setup to a file"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &SetupDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(open, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open setup"), QString(),
                                                          QStringLiteral("Channel setup (*.json)"));
        if (!path.isEmpty())
            (void)openFile(path);
    });
    connect(save, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save setup"), QStringLiteral("setup.json"),
                                                          QStringLiteral("Channel setup (*.json)"));
        if (!path.isEmpty())
            (void)saveFile(path);
    });
    showSetup(setup);
    resize(720, 520);
}

void SetupDialog::showSetup(const front::ChannelSetup& setup)
{
    m_base = setup;
    for (int n = 0; n < front::kSetupInputs; ++n) {
        const front::InputSetup& in = setup.input(n);
        setCell(m_inputs, n, kInputName, in.name, QStringLiteral("Input %1 name").arg(n));
        setCell(m_inputs, n, kInputUnit, in.unit, QStringLiteral("Input %1 unit").arg(n));
        setCell(m_inputs, n, kInputGain, numberText(in.gain), QStringLiteral("Input %1 gain").arg(n));
        setCell(m_inputs, n, kInputOffset, numberText(in.offset), QStringLiteral("Input %1 offset").arg(n));
        m_calibrations[static_cast<std::size_t>(n)] = in.calibration;
    }
    for (int i = 0; i < front::kSetupLines; ++i) {
        const int line = front::kSetupFirstLine + i;
        const front::LineSetup& l = setup.line(line);
        setCell(m_lines, i, kLineName, l.name, QStringLiteral("Line %1 name").arg(line));
        setCell(m_lines, i, kLineLow, l.low, QStringLiteral("Line %1 word for 0").arg(line));
        setCell(m_lines, i, kLineHigh, l.high, QStringLiteral("Line %1 word for 1").arg(line));
    }
    say(QString(), false);
}

std::optional<front::ChannelSetup> SetupDialog::read(QString* why) const
{
    front::ChannelSetup setup = m_base;
    for (int n = 0; n < front::kSetupInputs; ++n) {
        front::InputSetup in = m_base.input(n);
        in.name = cell(m_inputs, n, kInputName).trimmed();
        in.unit = cell(m_inputs, n, kInputUnit).trimmed();
        bool gainOk = false;
        bool offsetOk = false;
        in.gain = cell(m_inputs, n, kInputGain).trimmed().toDouble(&gainOk);
        in.offset = cell(m_inputs, n, kInputOffset).trimmed().toDouble(&offsetOk);
        if (!gainOk || !offsetOk) {
            *why = QStringLiteral("Input %1: the %2 is not a number").arg(n).arg(gainOk ? QStringLiteral("offset") : QStringLiteral("gain"));
            return std::nullopt;
        }
        // The points stay with the scale only while it is theirs.
        in.calibration.reset();
        if (const auto& points = m_calibrations[static_cast<std::size_t>(n)]) {
            const auto s = front::ChannelSetup::scaleThrough((*points)[0], (*points)[1]);
            if (s && numberText(s->gain) == numberText(in.gain) && numberText(s->offset) == numberText(in.offset)) {
                in.gain = s->gain;
                in.offset = s->offset;
                in.calibration = points;
            }
        }
        if (const QString problem = setup.setInput(n, in); !problem.isEmpty()) {
            *why = QStringLiteral("Input %1: %2").arg(n).arg(problem);
            return std::nullopt;
        }
    }
    for (int i = 0; i < front::kSetupLines; ++i) {
        const int line = front::kSetupFirstLine + i;
        front::LineSetup l = m_base.line(line);
        l.name = cell(m_lines, i, kLineName).trimmed();
        l.low = cell(m_lines, i, kLineLow).trimmed();
        l.high = cell(m_lines, i, kLineHigh).trimmed();
        if (const QString problem = setup.setLine(line, l); !problem.isEmpty()) {
            *why = QStringLiteral("Line %1: %2").arg(line).arg(problem);
            return std::nullopt;
        }
    }
    return setup;
}

std::optional<front::ChannelSetup> SetupDialog::setup() const
{
    QString why;
    return read(&why);
}

QString SetupDialog::problem() const
{
    QString why;
    (void)read(&why);
    return why;
}

void SetupDialog::say(const QString& text, bool problem)
{
    m_message->setStyleSheet(problem ? QStringLiteral("QLabel { color: #b00000; }") : QString());
    m_message->setText(text);
}

QString SetupDialog::openFile(const QString& path)
{
    const front::SetupRead r = front::ChannelSetup::load(path);
    if (!r.setup) {
        const QString why = QStringLiteral("%1: %2").arg(path, r.message());
        say(why, true);
        return why;
    }
    showSetup(*r.setup);
    say(QStringLiteral("Opened %1").arg(path), false);
    return {};
}

QString SetupDialog::saveFile(const QString& path)
{
    QString why;
    const auto s = read(&why);
    if (s)
        why = s->save(path);
    say(why.isEmpty() ? QStringLiteral("Saved %1").arg(path) : why, !why.isEmpty());
    return why;
}

void SetupDialog::calibrate(int n)
{
    const QString name = cell(m_inputs, n, kInputName);
    std::function<std::optional<double>()> reading;
    if (m_reading)
        reading = [this, n] { return m_reading(n); };
    CalibrationDialog dialog(QStringLiteral("input %1 (%2)").arg(n).arg(name), cell(m_inputs, n, kInputUnit), reading, this);
    if (const auto& points = m_calibrations[static_cast<std::size_t>(n)])
        dialog.setPoints((*points)[0], (*points)[1]);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const auto s = dialog.scale();
    if (!s)
        return;
    m_calibrations[static_cast<std::size_t>(n)] = dialog.points();
    m_inputs->item(n, kInputGain)->setText(numberText(s->gain));
    m_inputs->item(n, kInputOffset)->setText(numberText(s->offset));
}

void SetupDialog::accept()
{
    QString why;
    if (!read(&why)) {
        say(why, true);
        return;
    }
    QDialog::accept();
}

} // namespace scope
