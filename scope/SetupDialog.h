#pragma once

// The channel setup, edited: a table of the inputs (name, unit, gain,
// offset, and a calibration assistant for each) and one of the digital lines
// (name, the words for 0 and 1), opened from a file and saved to one. What
// the tables hold is checked as the setup file is: a mistake is shown beside
// the buttons and the setup is not taken until it is mended.

#include "front/ChannelSetup.h"

#include <QDialog>
#include <functional>
#include <optional>

class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace scope {

// Two known conditions of one input: at each, the input's reading in mV
// (typed, or taken from the present reading) and the true value.
class CalibrationDialog : public QDialog {
    Q_OBJECT

public:
    // reading: the input's present reading in mV, or nothing when there is none.
    CalibrationDialog(const QString& input, const QString& unit, std::function<std::optional<double>()> reading,
                      QWidget* parent = nullptr);

    void setPoints(const front::CalibrationPoint& a, const front::CalibrationPoint& b);
    std::array<front::CalibrationPoint, 2> points() const;
    // The scale through the points, or nothing (and why in the dialog).
    std::optional<front::Scale> scale() const;

private:
    void update();

    std::array<QDoubleSpinBox*, 2> m_mv{};
    std::array<QDoubleSpinBox*, 2> m_value{};
    QLabel* m_result = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

class SetupDialog : public QDialog {
    Q_OBJECT

public:
    // reading(n): input n's present reading in mV, for the calibration assistant.
    explicit SetupDialog(const front::ChannelSetup& setup,
                         std::function<std::optional<double>(int input)> reading = {}, QWidget* parent = nullptr);

    // What the tables hold, or nothing (and why in problem()).
    std::optional<front::ChannelSetup> setup() const;
    QString problem() const;
    void showSetup(const front::ChannelSetup& setup);
    // Files: empty when done, else why not (also shown in the dialog).
    QString openFile(const QString& path);
    QString saveFile(const QString& path);
    // The input table's cells, for the calibration assistant and tests.
    QTableWidget* inputs() const { return m_inputs; }
    QTableWidget* lines() const { return m_lines; }
    void calibrate(int input);

    void accept() override;

private:
    std::optional<front::ChannelSetup> read(QString* why) const;
    void say(const QString& text, bool problem);

    front::ChannelSetup m_base;   // kept for what the tables do not show (keys of later versions)
    std::function<std::optional<double>(int)> m_reading;
    QTableWidget* m_inputs = nullptr;
    QTableWidget* m_lines = nullptr;
    QLabel* m_message = nullptr;
    // Each input's calibration points, while its gain and offset are theirs.
    std::array<std::optional<std::array<front::CalibrationPoint, 2>>, front::kSetupInputs> m_calibrations{};
};

} // namespace scope
