// The typed analog output text, as the analog output window's Set hands it to
// the link: whatever the text, the value used is the run of digits after
// leading blanks, clamped to 0..4300 mV; the text is rewritten as those four
// digits; and the command sent carries the channel, the range bit and the
// nearest 8-bit code of that value, which is also what is recorded.
//
// Input: one byte for the channel, then the text.

#include "fuzz/FuzzCheck.h"
#include "link/Module1.h"
#include "link/Protocol.h"
#include "tests/support/FakeSerialControl.h"
#include "tests/support/RecordingViews.h"

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

// The value the text stands for, worked out digit by digit on its own terms:
// leading zeros do not count, and five or more significant digits are above
// any value allowed.
int expectedMillivolts(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i] == u' ')
        ++i;
    QString digits;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        digits += text[i];
    while (digits.startsWith(u'0'))
        digits.remove(0, 1);
    if (digits.isEmpty())
        return 0;
    if (digits.size() > 4)
        return protocol::kDacMaxMillivolts;
    return std::min(digits.toInt(), protocol::kDacMaxMillivolts);
}

void checkSet(int channel, const QString& text)
{
    FakeSerialControl comm;
    RecordingViews views;   // the link writes nothing into windows on this path
    Module1 m(comm, views);
    comm.setExistingPorts({2});
    FUZZ_CHECK(comm.setCommPort(2) && comm.setPortOpen(true), "the scripted port did not open");

    m.DacChan = channel;
    m.ValStr = text;
    m.NormalizeDacText();
    m.SetAnalogOutput();

    const int want = expectedMillivolts(text);
    const QByteArray shown = text.toUtf8();
    FUZZ_CHECK(m.DacVal == want, "\"%s\" gave %d mV, not %d", shown.constData(), int(m.DacVal), want);
    FUZZ_CHECK(m.ValStr.size() == 4 && m.ValStr.toInt() == want
                   && std::all_of(m.ValStr.begin(), m.ValStr.end(), [](QChar c) { return c >= u'0' && c <= u'9'; }),
               "\"%s\" rewritten as \"%s\"", shown.constData(), qPrintable(m.ValStr));

    const int c = channel & 3;
    const auto& data = m.DacData[c];
    const int range = data[0];
    const int code = data[1];
    const int mv = data[2];
    FUZZ_CHECK(mv == want, "recorded %d mV for %d", mv, want);
    FUZZ_CHECK(range == (want > protocol::kDacLowRangeTop ? 1 : 0), "range %d for %d mV", range, want);
    FUZZ_CHECK(code >= 0 && code <= 255, "code %d for %d mV", code, want);
    // The nearest code of the range's step; halves round up.
    const double step = range ? protocol::kDacHighStep : protocol::kDacLowStep;
    FUZZ_CHECK(std::abs(code * step - mv) <= step / 2 + 1e-9, "code %d is not nearest to %d mV", code, mv);
    for (int other = 0; other < protocol::kDacChannels; ++other)
        if (other != c)
            FUZZ_CHECK(m.DacData[other][0] == 0 && m.DacData[other][1] == 0 && m.DacData[other][2] == 0,
                       "channel %d changed by a Set on %d", other, c);

    // What went on the wire reads back as what was recorded.
    const QByteArray sent = comm.written();
    FUZZ_CHECK(sent.size() == 6 && sent.startsWith(protocol::kSetAnalog), "sent %d bytes", int(sent.size()));
    const auto high = static_cast<std::uint8_t>(sent[4]);
    const auto low = static_cast<std::uint8_t>(sent[5]);
    FUZZ_CHECK(high >> 6 == c, "channel bits %d for channel %d", high >> 6, c);
    FUZZ_CHECK(((high >> 5) & 1) == range, "range bit in 0x%02x", high);
    FUZZ_CHECK(((high & 0x1F) << 3 | (low >> 4)) == code && (low & 0x8F) == 0, "code word 0x%02x 0x%02x for %d",
               high, low, code);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const int channel = data[0];
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const auto length = static_cast<qsizetype>(size - 1);
    // Typed text is digits; pasted text can be anything.
    checkSet(channel, QString::fromLatin1(bytes, length));
    checkSet(channel, QString::fromUtf8(bytes, length));
    return 0;
}
