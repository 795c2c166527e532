#pragma once

// The settings of zoltctl's sample, as its command reads them.

#include "ctl/MqttOptions.h"
#include "front/ChannelSetup.h"
#include "link/Acquisition.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace zoltctl {

enum class Format { Csv, Jsonl };

// Pauses between sampling cycles, in ms, as the main window offers them.
inline constexpr int kMaxSpeedMs = acquisition::kNamedPauses[0].ms;
inline constexpr int kHalfSecondMs = acquisition::kNamedPauses[1].ms;
inline constexpr int kLongestPauseMs = acquisition::kLongestPauseMs;

struct Options {
    int topChannel = 6;                // channels 0..topChannel
    bool digital = false;              // lines 3 to 5 as well
    int intervalMs = kHalfSecondMs;    // pause between cycles
    long long count = 0;               // rows, 0 for no limit
    double durationS = 0;              // seconds, 0 for no limit
    Format format = Format::Csv;
    QString output;                    // file, empty for standard output
    bool exitOnLoss = false;           // a lost port ends the run
    MqttOptions mqtt;                  // publish on a broker too
    // --setup: scaled values in added columns, and the setup beside the output file.
    std::optional<front::ChannelSetup> setup;
};

// "max", "0.5s", "1s", "10s" or whole milliseconds.
std::optional<int> parseInterval(const QString& text);

} // namespace zoltctl
