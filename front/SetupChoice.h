#pragma once

// --setup FILE, for zoltctl's read and sample and for ZOLT Scope: the channel setup whose names, units and scales the
// readings are shown in. A file that is not a valid setup is a usage error
// that names its line and the reason.

#include "front/ChannelSetup.h"

#include <QCommandLineOption>
#include <QString>
#include <optional>

class QCommandLineParser;

namespace front {

struct SetupChoice {
    std::optional<ChannelSetup> setup;
    QString path;

    static QCommandLineOption option();
    // Empty, or what is wrong.
    QString take(const QCommandLineParser& parser);
    const ChannelSetup* get() const { return setup ? &*setup : nullptr; }
};

} // namespace front
