#pragma once

// The settings of zoltctl's sample, as its command reads them.

#include "front/MqttOptions.h"
#include "front/RowFormat.h"
#include "front/ChannelSetup.h"
#include "link/Acquisition.h"

#include <QString>
#include <cmath>

namespace zoltctl {

// Pauses between sampling cycles, in ms, as the main window offers them.
inline constexpr int kMaxSpeedMs = acquisition::kNamedPauses[0].ms;
inline constexpr int kHalfSecondMs = acquisition::kNamedPauses[1].ms;

struct Options {
    int topChannel = 6;                // channels 0..topChannel
    bool digital = false;              // lines 3 to 5 as well
    int intervalMs = kHalfSecondMs;    // pause between cycles
    long long count = 0;               // rows, 0 for no limit
    double durationS = 0;              // seconds, 0 for no limit
    front::Format format = front::Format::Csv;
    QString output;                    // file, empty for standard output
    bool exitOnLoss = false;           // a lost port ends the run
    front::MqttOptions mqtt;           // publish on a broker too
    // --setup: scaled values in added columns, and the setup beside the output file.
    std::optional<front::ChannelSetup> setup;
};

// What the acquisition cycle is given for these options.
inline acquisition::Settings acquisitionSettings(const Options& options)
{
    acquisition::Settings settings;
    settings.topChannel = options.topChannel;
    settings.digital = options.digital;
    settings.pauseMs = options.intervalMs;
    settings.countLimit = options.count;
    settings.durationLimitMs = static_cast<qint64>(std::llround(options.durationS * 1000.0));
    return settings;
}

} // namespace zoltctl
