#include "front/PauseText.h"

#include "link/Acquisition.h"

#include <QStringList>

namespace front {

std::optional<int> parsePause(const QString& text)
{
    for (const acquisition::NamedPause& pause : acquisition::kNamedPauses) {
        if (text.compare(QLatin1String(pause.word), Qt::CaseInsensitive) == 0)
            return pause.ms;
    }
    bool ok = false;
    const int ms = text.toInt(&ok, 10);
    if (!ok || ms < acquisition::kShortestPauseMs || ms > acquisition::kLongestPauseMs)
        return std::nullopt;
    return ms;
}

QString pauseWords()
{
    QStringList words;
    for (const acquisition::NamedPause& pause : acquisition::kNamedPauses)
        words << QLatin1String(pause.word);
    return words.join(QLatin1String(", "));
}

QString pauseRefused(const QString& option, const QString& text)
{
    return QStringLiteral("%1 must be %2 or %3 to %4 ms, not '%5'")
        .arg(option, pauseWords())
        .arg(acquisition::kShortestPauseMs)
        .arg(acquisition::kLongestPauseMs)
        .arg(text);
}

} // namespace front
