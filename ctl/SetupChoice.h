#pragma once

// --setup FILE, for read and sample (and listed with the options every
// command takes): the channel setup whose names, units and scales the
// readings are shown in. A file that is not a valid setup is a usage error
// that names its line and the reason.

#include "front/ChannelSetup.h"

#include <QCommandLineOption>
#include <QString>
#include <optional>

class QCommandLineParser;

namespace zoltctl {

struct SetupChoice {
    std::optional<front::ChannelSetup> setup;
    QString path;

    static QCommandLineOption option();
    // Empty, or what is wrong.
    QString take(const QCommandLineParser& parser);
    const front::ChannelSetup* get() const { return setup ? &*setup : nullptr; }
};

// The file a setup goes beside a recording in: run.csv -> run.csv.setup.json.
QString setupSidecarPath(const QString& recording);

} // namespace zoltctl
