#include "ctl/CtlOptions.h"

#include <array>

namespace zoltctl {

namespace {

struct NamedPause {
    const char* text;
    int ms;
};
constexpr std::array kNamedPauses{
    NamedPause{"max", kMaxSpeedMs},
    NamedPause{"0.5s", kHalfSecondMs},
    NamedPause{"1s", kOneSecondMs},
    NamedPause{"10s", kTenSecondsMs},
};

} // namespace

std::optional<int> parseInterval(const QString& text)
{
    for (const NamedPause& pause : kNamedPauses) {
        if (text.compare(QLatin1String(pause.text), Qt::CaseInsensitive) == 0)
            return pause.ms;
    }
    bool ok = false;
    const int ms = text.toInt(&ok, 10);
    if (!ok || ms < 0 || ms > kLongestPauseMs)
        return std::nullopt;
    return ms;
}

} // namespace zoltctl
