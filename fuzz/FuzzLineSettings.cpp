// The line settings string: whatever the text, a value that is taken lies in
// the ranges the port can be set to, and its canonical text reads back as the
// same value; text that is refused leaves a serial control's settings as they
// were.

#include "fuzz/FuzzCheck.h"
#include "link/LineSettings.h"
#include "tests/support/FakeSerialControl.h"

#include <QString>
#include <cstddef>
#include <cstdint>

namespace {

constexpr int kMaxBaud = 4'000'000;

void checkText(const QString& text)
{
    const auto parsed = LineSettings::parse(text);
    if (!parsed)
        return;
    const LineSettings& s = *parsed;
    const QByteArray shown = text.toUtf8();
    FUZZ_CHECK(s.baud > 0 && s.baud <= kMaxBaud, "baud %d from \"%s\"", s.baud, shown.constData());
    FUZZ_CHECK(QByteArrayLiteral("NEOMS").contains(s.parity), "parity %d from \"%s\"", s.parity,
               shown.constData());
    FUZZ_CHECK(s.dataBits >= 5 && s.dataBits <= 8, "data bits %d from \"%s\"", s.dataBits, shown.constData());
    FUZZ_CHECK(s.stopBits == 1 || s.stopBits == 2, "stop bits %d from \"%s\"", s.stopBits, shown.constData());

    const QString canonical = s.toString();
    const auto again = LineSettings::parse(canonical);
    FUZZ_CHECK(again && *again == s, "\"%s\" does not read back", qPrintable(canonical));
    FUZZ_CHECK(again->toString() == canonical, "\"%s\" is not canonical", qPrintable(canonical));
    // Its first field is the baud rate as digits: the settings dialog compares
    // the first four characters with "2400", "4800" and "9600".
    FUZZ_CHECK(canonical.section(u',', 0, 0) == QString::number(s.baud), "\"%s\"", qPrintable(canonical));
}

// What a serial control does with the text: taken as the parser takes it, or
// refused with the settings unchanged.
void checkControl(const QString& text)
{
    FakeSerialControl control;
    const QString before = control.Settings();
    const bool taken = control.setSettings(text);
    const auto parsed = LineSettings::parse(text);
    FUZZ_CHECK(taken == parsed.has_value(), "setSettings %d, parse %d", int(taken), int(parsed.has_value()));
    if (taken)
        FUZZ_CHECK(control.Settings() == parsed->toString(), "now \"%s\"", qPrintable(control.Settings()));
    else
        FUZZ_CHECK(control.Settings() == before, "refused text changed settings to \"%s\"",
                   qPrintable(control.Settings()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* bytes = reinterpret_cast<const char*>(data);
    const auto length = static_cast<qsizetype>(size);
    // The same bytes as the 8-bit text a port layer may hand over, and as UTF-8.
    for (const QString& text : {QString::fromLatin1(bytes, length), QString::fromUtf8(bytes, length)}) {
        checkText(text);
        checkControl(text);
    }
    return 0;
}
