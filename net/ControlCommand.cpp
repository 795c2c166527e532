#include "net/ControlCommand.h"

#include <algorithm>

namespace mqtt {

namespace {

constexpr std::string_view kDacTopic = "set/dac/";
constexpr std::string_view kDoutTopic = "set/dout";
constexpr std::size_t kQuotedBytes = 24;   // of a payload or topic, in a reason
constexpr long long kAboveAny = 1'000'000;  // mV, a stand-in for any larger value

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// The text as a reason may show it: printable ASCII, others as '?', cut short.
std::string quoted(std::string_view text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < kQuotedBytes; ++i) {
        const char c = text[i];
        out += (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') ? c : '?';
    }
    if (text.size() > kQuotedBytes)
        out += "...";
    out += '"';
    return out;
}

ControlParse refuse(std::string reason)
{
    ControlParse result;
    if (reason.size() > kMaxReasonBytes)
        reason.resize(kMaxReasonBytes);
    result.error = std::move(reason);
    return result;
}

ControlParse accept(const ControlCommand& command)
{
    ControlParse result;
    result.command = command;
    return result;
}

} // namespace

ControlParse parseControl(std::string_view subtopic, std::string_view payload)
{
    if (payload.size() > kMaxControlPayload)
        return refuse("payload of " + std::to_string(payload.size()) + " bytes; a command has at most "
                      + std::to_string(kMaxControlPayload));
    const std::string_view value = trimmed(payload);

    if (subtopic == kDoutTopic) {
        if (value == "on" || value == "off") {
            ControlCommand c;
            c.kind = ControlCommand::Kind::DigitalOutput;
            c.high = value == "on";
            return accept(c);
        }
        return refuse("set/dout takes on or off, not " + quoted(payload));
    }

    if (subtopic.substr(0, kDacTopic.size()) == kDacTopic) {
        const std::string_view n = subtopic.substr(kDacTopic.size());
        if (n.size() != 1 || n[0] < '0' || n[0] > '9')
            return refuse("no analog output " + quoted(n) + "; outputs are 0 to 3");
        const int channel = n[0] - '0';
        if (channel >= kAnalogOutputs)
            return refuse("no analog output " + std::to_string(channel) + "; outputs are 0 to 3");
        if (value.empty())
            return refuse("set/dac/" + std::to_string(channel) + " needs millivolts, 0 to 4300");
        long long mv = 0;
        for (char c : value) {
            if (c < '0' || c > '9')
                return refuse(quoted(payload) + " is not a whole number of millivolts, 0 to 4300");
            // 32 digits overflow any integer: past the range, the value stays above it.
            mv = std::min(mv * 10 + (c - '0'), kAboveAny);
        }
        if (mv > kMaxOutputMillivolts)
            return refuse(quoted(value) + " mV is above the outputs' 4300 mV");
        ControlCommand c;
        c.kind = ControlCommand::Kind::AnalogOutput;
        c.channel = channel;
        c.millivolts = static_cast<int>(mv);
        return accept(c);
    }
    return refuse("unknown command topic " + quoted(subtopic) + "; commands are set/dac/0..3 and set/dout");
}

std::string commandTopic(const ControlCommand& command)
{
    if (command.kind == ControlCommand::Kind::DigitalOutput)
        return std::string(kDoutTopic);
    return std::string(kDacTopic) + std::to_string(command.channel);
}

std::string commandPayload(const ControlCommand& command)
{
    if (command.kind == ControlCommand::Kind::DigitalOutput)
        return command.high ? "on" : "off";
    return std::to_string(command.millivolts);
}

} // namespace mqtt
