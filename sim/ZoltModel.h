#pragma once

// The 232ZOLT module as bytes in and bytes out: no clock and no event loop of
// its own. The caller says when each byte arrived, in microseconds of the
// module's time, so that the inputs that move by themselves are a function of
// that time and every run with the same arrival times gives the same replies.

#include <QByteArray>
#include <array>
#include <cstdint>
#include <vector>

class ZoltModel {
public:
    enum class Kind { ReadAnalog, ReadDigital, SetOutputs, SetAnalog };

    // One command the module acted on, with the bytes it answered (empty for
    // the two set commands).
    struct Command {
        Kind kind = Kind::ReadAnalog;
        QByteArray bytes;
        QByteArray reply;
        qint64 atUs = 0;  // arrival of the command's last byte
    };

    static constexpr int kAnalogInputs = 7;
    static constexpr int kAnalogOutputs = 4;
    static constexpr int kFullScaleCounts = 4095;
    static constexpr double kFullScaleMillivolts = 5000.0;
    // Analog output k drives analog input k + this.
    static constexpr int kFirstWiredInput = 3;
    // The output line is looped back to digital input 3, the same bit.
    static constexpr int kOutputLineMask = 0x08;
    static constexpr int kToggleFastMask = 0x10;  // digital input 4, 2 s high, 2 s low
    static constexpr int kToggleSlowMask = 0x20;  // digital input 5, 5 s high, 5 s low
    static constexpr qint64 kToggleFastHalfUs = 2'000'000;
    static constexpr qint64 kToggleSlowHalfUs = 5'000'000;
    // Inputs 0, 1, 2, 6 and 7 are not connected and float high.
    static constexpr int kFloatingMask = 0xC7;

    // Input 0: a sine around mid-scale; input 1: a triangle over the full
    // scale; input 2: a fixed level, handy for checking the readings.
    static constexpr qint64 kSinePeriodUs = 20'000'000;
    static constexpr double kSineMidCounts = 2048.0;
    static constexpr double kSineAmplitudeCounts = 1800.0;
    static constexpr qint64 kTrianglePeriodUs = 30'000'000;
    static constexpr int kFixedLevelCounts = 1234;

    // Bytes received at atUs (every byte of the chunk counts as arriving then).
    // Returns the commands these bytes completed, in order.
    std::vector<Command> receive(const QByteArray& bytes, qint64 atUs);
    std::vector<Command> receive(char byte, qint64 atUs);

    // What the module would read now.
    int analogCount(int input, qint64 atUs) const;
    std::uint8_t digitalByte(qint64 atUs) const;

    // The state the set commands left.
    std::uint8_t outputByte() const { return m_outputByte; }
    double outputMillivolts(int output) const;
    int outputCode(int output) const { return m_dacCode.at(output); }
    int outputRange(int output) const { return m_dacRange.at(output); }

    // Bytes of a command still being collected, and bytes thrown away while
    // looking for the start of the next command.
    int pendingBytes() const { return static_cast<int>(m_buffer.size()); }
    qint64 discardedBytes() const { return m_discarded; }

    // Power-on state: outputs at 0, nothing pending.
    void reset();

private:
    bool parseOne(qint64 atUs, std::vector<Command>& done);
    void discard(qsizetype count);
    QByteArray analogReply(int topChannel, qint64 atUs) const;

    QByteArray m_buffer;
    qint64 m_discarded = 0;
    std::uint8_t m_outputByte = 0;
    std::array<int, kAnalogOutputs> m_dacRange{};
    std::array<int, kAnalogOutputs> m_dacCode{};
};
