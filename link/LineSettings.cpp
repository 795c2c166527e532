#include "link/LineSettings.h"

#include <QStringList>

namespace {

constexpr int kMaxBaud = 4'000'000;

std::optional<int> positiveNumber(const QString& field)
{
    bool ok = false;
    const int value = field.trimmed().toInt(&ok, 10);
    if (!ok || value <= 0)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<LineSettings> LineSettings::parse(const QString& text)
{
    const QStringList fields = text.split(u',');
    if (fields.size() != 4)
        return std::nullopt;

    LineSettings result;
    const auto baud = positiveNumber(fields[0]);
    if (!baud || *baud > kMaxBaud)
        return std::nullopt;
    result.baud = *baud;

    const QString parity = fields[1].trimmed().toUpper();
    if (parity.size() != 1 || !QStringLiteral("NEOMS").contains(parity[0]))
        return std::nullopt;
    result.parity = parity[0].toLatin1();

    const auto data = positiveNumber(fields[2]);
    if (!data || *data < 5 || *data > 8)
        return std::nullopt;
    result.dataBits = *data;

    const auto stop = positiveNumber(fields[3]);
    if (!stop || (*stop != 1 && *stop != 2))
        return std::nullopt;
    result.stopBits = *stop;
    return result;
}

QString LineSettings::toString() const
{
    return QStringLiteral("%1,%2,%3,%4").arg(baud).arg(QChar(parity)).arg(dataBits).arg(stopBits);
}
