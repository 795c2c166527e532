#include "sim/ZoltModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Data bytes after "!0" and the two-letter code; -1 for a code the module
// does not know.
int dataBytesFor(char first, char second)
{
    if (first == 'R' && second == 'A')
        return 1;
    if (first == 'R' && second == 'D')
        return 0;
    if (first == 'S' && second == 'O')
        return 1;
    if (first == 'S' && second == 'V')
        return 2;
    return -1;
}

// DAC steps of the two output ranges, in millivolts a code.
constexpr double kLowRangeStep = 14.71;
constexpr double kHighRangeStep = 29.42;

// Position within a period, 0 <= phase < 1, also for times before zero.
double phaseOf(qint64 atUs, qint64 periodUs)
{
    qint64 r = atUs % periodUs;
    if (r < 0)
        r += periodUs;
    return static_cast<double>(r) / static_cast<double>(periodUs);
}

bool highInHalf(qint64 atUs, qint64 halfUs)
{
    // High in the first half period after every odd multiple: low from 0 to half.
    qint64 k = atUs / halfUs;
    if (atUs < 0 && atUs % halfUs != 0)
        --k;
    return (k & 1) != 0;
}

int clampCount(double counts)
{
    return std::clamp(static_cast<int>(std::lround(counts)), 0, ZoltModel::kFullScaleCounts);
}

} // namespace

void ZoltModel::reset()
{
    m_buffer.clear();
    m_discarded = 0;
    m_outputByte = 0;
    m_dacRange.fill(0);
    m_dacCode.fill(0);
}

std::vector<ZoltModel::Command> ZoltModel::receive(char byte, qint64 atUs)
{
    return receive(QByteArray(1, byte), atUs);
}

std::vector<ZoltModel::Command> ZoltModel::receive(const QByteArray& bytes, qint64 atUs)
{
    std::vector<Command> done;
    // Byte by byte, so that a command completed in the middle of a chunk is
    // acted on before the bytes after it are looked at.
    for (const char byte : bytes) {
        m_buffer.append(byte);
        while (parseOne(atUs, done)) {
        }
    }
    return done;
}

void ZoltModel::discard(qsizetype count)
{
    m_buffer.remove(0, count);
    m_discarded += count;
}

// Takes one step on the collected bytes: drops bytes that cannot start a
// command or acts on one complete command. False when it needs more bytes.
bool ZoltModel::parseOne(qint64 atUs, std::vector<Command>& done)
{
    if (m_buffer.isEmpty())
        return false;
    if (m_buffer[0] != '!') {
        const qsizetype next = m_buffer.indexOf('!');
        discard(next < 0 ? m_buffer.size() : next);
        return !m_buffer.isEmpty();
    }
    if (m_buffer.size() < 2)
        return false;
    if (m_buffer[1] != '0') {
        discard(1);  // the next "!" may be this second byte
        return true;
    }
    if (m_buffer.size() < 4)
        return false;
    const int dataBytes = dataBytesFor(m_buffer[2], m_buffer[3]);
    if (dataBytes < 0) {
        discard(1);
        return true;
    }
    const qsizetype length = 4 + dataBytes;
    if (m_buffer.size() < length)
        return false;

    Command command;
    command.bytes = m_buffer.left(length);
    command.atUs = atUs;
    const auto data = [&](int i) { return static_cast<std::uint8_t>(m_buffer[4 + i]); };
    const char code = m_buffer[3];
    if (code == 'A') {
        const int top = data(0);
        if (top >= kAnalogInputs) {
            // No such channel: the module takes it for noise and waits for the next "!0".
            discard(1);
            return true;
        }
        command.kind = Kind::ReadAnalog;
        command.reply = analogReply(top, atUs);
    } else if (code == 'D') {
        command.kind = Kind::ReadDigital;
        command.reply = QByteArray(1, static_cast<char>(digitalByte(atUs)));
    } else if (code == 'O') {
        command.kind = Kind::SetOutputs;
        m_outputByte = data(0);
    } else {
        command.kind = Kind::SetAnalog;
        const std::uint8_t high = data(0);
        const std::uint8_t low = data(1);
        const int output = high >> 6;
        m_dacRange[output] = (high >> 5) & 1;
        m_dacCode[output] = (high & 0x1F) * 8 + ((low >> 4) & 0x07);
    }
    m_buffer.remove(0, length);
    done.push_back(std::move(command));
    return true;
}

QByteArray ZoltModel::analogReply(int topChannel, qint64 atUs) const
{
    QByteArray reply;
    reply.reserve(2 * (topChannel + 1));
    // Highest channel first, 12-bit counts, high nibble then low byte.
    for (int input = topChannel; input >= 0; --input) {
        const int count = analogCount(input, atUs);
        reply.append(static_cast<char>((count >> 8) & 0x0F));
        reply.append(static_cast<char>(count & 0xFF));
    }
    return reply;
}

double ZoltModel::outputMillivolts(int output) const
{
    const double step = m_dacRange.at(output) ? kHighRangeStep : kLowRangeStep;
    return m_dacCode.at(output) * step;
}

int ZoltModel::analogCount(int input, qint64 atUs) const
{
    switch (input) {
    case 0: {
        const double angle = 2.0 * std::numbers::pi * phaseOf(atUs, kSinePeriodUs);
        return clampCount(kSineMidCounts + kSineAmplitudeCounts * std::sin(angle));
    }
    case 1: {
        const double phase = phaseOf(atUs, kTrianglePeriodUs);
        const double level = phase < 0.5 ? 2.0 * phase : 2.0 - 2.0 * phase;
        return clampCount(level * kFullScaleCounts);
    }
    case 2:
        return kFixedLevelCounts;
    default:
        break;
    }
    if (input >= kFirstWiredInput && input < kFirstWiredInput + kAnalogOutputs) {
        const double mv = outputMillivolts(input - kFirstWiredInput);
        return clampCount(mv * kFullScaleCounts / kFullScaleMillivolts);
    }
    return 0;
}

std::uint8_t ZoltModel::digitalByte(qint64 atUs) const
{
    int byte = kFloatingMask | (m_outputByte & kOutputLineMask);
    if (highInHalf(atUs, kToggleFastHalfUs))
        byte |= kToggleFastMask;
    if (highInHalf(atUs, kToggleSlowHalfUs))
        byte |= kToggleSlowMask;
    return static_cast<std::uint8_t>(byte);
}
