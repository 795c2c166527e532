#include "ctl/CtlOptions.h"

namespace zoltctl {

std::optional<int> parseInterval(const QString& text)
{
    for (const acquisition::NamedPause& pause : acquisition::kNamedPauses) {
        if (text.compare(QLatin1String(pause.word), Qt::CaseInsensitive) == 0)
            return pause.ms;
    }
    bool ok = false;
    const int ms = text.toInt(&ok, 10);
    if (!ok || ms < acquisition::kShortestPauseMs || ms > kLongestPauseMs)
        return std::nullopt;
    return ms;
}

} // namespace zoltctl
