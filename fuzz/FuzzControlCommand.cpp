// The control commands a bench takes from its broker: whatever the topic and
// payload, a command is accepted only when the topic names set/dout or an
// output 0..3 and the payload, blanks aside, is on/off or whole millivolts
// 0..4300, worked out here digit by digit; it reads back the same from its
// own topic and payload; and a refusal is a short line of printable ASCII,
// fit to publish whatever came in.
//
// Input: one byte for the topic's length, the topic, then the payload.

#include "fuzz/FuzzCheck.h"
#include "net/ControlCommand.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view core(std::string_view s)
{
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t topicLength = std::min<std::size_t>(data[0], size - 1);
    const std::string_view topic(reinterpret_cast<const char*>(data + 1), topicLength);
    const std::string_view payload(reinterpret_cast<const char*>(data + 1 + topicLength), size - 1 - topicLength);

    const mqtt::ControlParse p = mqtt::parseControl(topic, payload);
    if (!p.command) {
        FUZZ_CHECK(!p.error.empty(), "refused without a reason");
        FUZZ_CHECK(p.error.size() <= mqtt::kMaxReasonBytes, "reason of %zu bytes", p.error.size());
        for (char c : p.error)
            FUZZ_CHECK(c >= 0x20 && c < 0x7f, "byte 0x%02x in the reason", static_cast<unsigned char>(c));
        return 0;
    }
    FUZZ_CHECK(p.error.empty(), "accepted with a reason: %s", p.error.c_str());
    FUZZ_CHECK(payload.size() <= mqtt::kMaxControlPayload, "accepted a payload of %zu bytes", payload.size());
    const mqtt::ControlCommand& c = *p.command;
    const std::string_view value = core(payload);
    if (c.kind == mqtt::ControlCommand::Kind::DigitalOutput) {
        FUZZ_CHECK(topic == "set/dout", "a digital command from another topic");
        FUZZ_CHECK(value == (c.high ? "on" : "off"), "level %d from another word", int(c.high));
    } else {
        FUZZ_CHECK(topic.size() == 9 && topic.substr(0, 8) == "set/dac/" && topic[8] >= '0' && topic[8] <= '3'
                       && topic[8] - '0' == c.channel,
                   "output %d from another topic", c.channel);
        long long mv = 0;
        FUZZ_CHECK(!value.empty(), "millivolts from nothing");
        for (char d : value) {
            FUZZ_CHECK(d >= '0' && d <= '9', "accepted a payload with 0x%02x", static_cast<unsigned char>(d));
            mv = std::min(mv * 10 + (d - '0'), 1'000'000LL);
        }
        FUZZ_CHECK(mv == c.millivolts && mv >= 0 && mv <= mqtt::kMaxOutputMillivolts, "%d mV for %lld",
                   c.millivolts, mv);
    }
    const mqtt::ControlParse again = mqtt::parseControl(mqtt::commandTopic(c), mqtt::commandPayload(c));
    FUZZ_CHECK(again.command && *again.command == c, "the command does not read back from its own topic and payload");
    return 0;
}
