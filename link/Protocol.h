#pragma once

// Byte codes of the module's command protocol, kept apart from port handling
// and state so that each can be checked on its own.
//
// Every command is "!0", a two-letter code and 0 to 2 binary data bytes, with
// no terminator, length field or checksum.

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace protocol {

inline constexpr char kReadAnalog[] = "!0RA";   // + channel byte n: n + 1 readings back
inline constexpr char kReadDigital[] = "!0RD";  // one byte back
inline constexpr char kSetOutputs[] = "!0SO";   // + output byte, no reply
inline constexpr char kSetAnalog[] = "!0SV";    // + code word H, L, no reply

inline constexpr int kMaxAnalogChannel = 6;
inline constexpr int kBytesPerReading = 2;
inline constexpr int kDigitalReplyBytes = 1;
inline constexpr int kOutputLine = 3;           // the digital output, bit 3
inline constexpr int kOutputLineMask = 0x08;

// A/D: 12-bit counts, 1.2209 mV a count (4095 counts is 5000 mV).
inline constexpr int kMaxCount = 4095;
inline constexpr double kMillivoltsPerCount = 1.2209;

// Analog outputs: two ranges of 8-bit codes.
inline constexpr int kDacChannels = 4;
inline constexpr int kDacLowRangeTop = 3750;     // mV; range 0 covers 0..3750
inline constexpr int kDacMaxMillivolts = 4300;   // range 1 covers 3751..4300
inline constexpr double kDacLowStep = 14.71;     // mV a code step in range 0
inline constexpr double kDacHighStep = 29.42;    // mV a code step in range 1

QByteArray readAnalogCommand(int topChan);
QByteArray readDigitalCommand();
QByteArray setOutputsCommand(int outByte);
QByteArray setAnalogCommand(std::uint8_t high, std::uint8_t low);

// Bytes in the reply to readAnalogCommand(topChan): 2 per channel 0..topChan.
int analogReplyLength(int topChan);

// Count from the two bytes of one reading; the top 4 bits of the first are dropped.
int adCount(std::uint8_t first, std::uint8_t second);
// Count to millivolts, rounded to the nearest integer.
int countToMillivolts(int count);
// Level (0 or 1) of one digital line in a digital reply byte.
int digitalLine(std::uint8_t reply, int line);

// The value to send for a wanted output in millivolts: range bit, 8-bit code
// and the millivolts after clamping to the range.
struct DacCode {
    int range = 0;
    int code = 0;
    int millivolts = 0;
    friend bool operator==(const DacCode&, const DacCode&) = default;
};
DacCode dacCode(int millivolts);

// The two data bytes of "!0SV": H = channel, range bit and the code's top 5 bits;
// L = the code's low 3 bits in bits 6..4.
struct DacWord {
    std::uint8_t high = 0;
    std::uint8_t low = 0;
    friend bool operator==(const DacWord&, const DacWord&) = default;
};
DacWord dacWord(int channel, const DacCode& code);

// Typed analog output text to millivolts: decimal digits after leading blanks,
// anything else 0, clamped to 0..4300; and the same value as four digits.
int parseDacText(const QString& text);
QString fourDigits(int value);

} // namespace protocol
