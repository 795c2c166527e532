#include "widgets/ByteText.h"

namespace {
constexpr unsigned char kFirstPrintable = 0x20;
constexpr unsigned char kLastPrintable = 0x7E;
constexpr char kHexDigits[] = "0123456789ABCDEF";
}

QString visibleBytes(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size() * 4);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= kFirstPrintable && byte <= kLastPrintable) {
            text += QLatin1Char(c);
        } else {
            text += QLatin1Char('<');
            text += QLatin1Char(kHexDigits[byte >> 4]);
            text += QLatin1Char(kHexDigits[byte & 0x0F]);
            text += QLatin1Char('>');
        }
    }
    return text;
}
