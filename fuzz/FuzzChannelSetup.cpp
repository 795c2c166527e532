// The channel setup file, whatever its bytes: it is taken whole or refused
// with a reason and a line inside the text; a setup taken holds only what
// its checks allow, and reads back the same from the file it writes.
//
// Input: the file's text.

#include "front/ChannelSetup.h"
#include "fuzz/FuzzCheck.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const front::SetupRead read = front::ChannelSetup::fromJson(text);
    if (!read.setup) {
        FUZZ_CHECK(!read.reason.isEmpty(), "refused without a reason");
        const int lines = static_cast<int>(text.count('\n')) + 1;
        FUZZ_CHECK(read.line >= 1 && read.line <= lines, "line %d of %d", read.line, lines);
        return 0;
    }
    const front::ChannelSetup& s = *read.setup;
    for (int n = 0; n < front::kSetupInputs; ++n)
        FUZZ_CHECK(front::ChannelSetup::inputProblem(s.input(n)).isEmpty(), "input %d taken with a problem", n);
    for (int n = front::kSetupFirstLine; n < front::kSetupFirstLine + front::kSetupLines; ++n)
        FUZZ_CHECK(front::ChannelSetup::lineProblem(s.line(n)).isEmpty(), "line %d taken with a problem", n);
    const front::SetupRead again = front::ChannelSetup::fromJson(s.toJson());
    FUZZ_CHECK(again.setup.has_value(), "its own file refused: %s", qPrintable(again.message()));
    FUZZ_CHECK(*again.setup == s, "its own file read back otherwise");
    return 0;
}
