#include "link/Protocol.h"

#include <algorithm>
#include <cmath>

namespace protocol {

namespace {

QByteArray command(const char* code, std::initializer_list<std::uint8_t> data)
{
    QByteArray bytes(code);
    for (const std::uint8_t b : data)
        bytes.append(static_cast<char>(b));
    return bytes;
}

} // namespace

QByteArray readAnalogCommand(int topChan)
{
    return command(kReadAnalog, {static_cast<std::uint8_t>(topChan & 0xFF)});
}

QByteArray readDigitalCommand()
{
    return command(kReadDigital, {});
}

QByteArray setOutputsCommand(int outByte)
{
    return command(kSetOutputs, {static_cast<std::uint8_t>(outByte & 0xFF)});
}

QByteArray setAnalogCommand(std::uint8_t high, std::uint8_t low)
{
    return command(kSetAnalog, {high, low});
}

int analogReplyLength(int topChan)
{
    return (topChan + 1) * kBytesPerReading;
}

int adCount(std::uint8_t first, std::uint8_t second)
{
    return (first & 0x0F) * 256 + second;
}

int countToMillivolts(int count)
{
    return static_cast<int>(std::lround(count * kMillivoltsPerCount));
}

int digitalLine(std::uint8_t reply, int line)
{
    const int mask = 1 << line;
    return (reply & mask) / mask;
}

DacCode dacCode(int millivolts)
{
    DacCode result;
    double step = kDacLowStep;
    int v = millivolts;
    if (v > kDacLowRangeTop) {
        result.range = 1;
        step = kDacHighStep;
        v = std::min(v, kDacMaxMillivolts);
    } else {
        v = std::max(v, 0);
    }
    // Halves round up.
    result.code = static_cast<int>(std::floor(v / step + 0.5));
    result.millivolts = v;
    return result;
}

DacWord dacWord(int channel, const DacCode& code)
{
    DacWord word;
    word.high = static_cast<std::uint8_t>((channel & 3) * 64 + code.range * 32 + (code.code / 8));
    word.low = static_cast<std::uint8_t>((code.code & 7) * 16);
    return word;
}

int parseDacText(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    int value = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > kDacMaxMillivolts)
            return kDacMaxMillivolts;  // no overflow for long pasted texts
    }
    return value;
}

QString fourDigits(int value)
{
    return QStringLiteral("%1").arg(value, 4, 10, QLatin1Char('0'));
}

} // namespace protocol
