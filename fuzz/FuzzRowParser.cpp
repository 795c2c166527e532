// The rows of a recording read back: whatever the bytes, reading ends with
// every line either taken as a scan or told as a problem (or the whole input
// refused), the same whether the bytes come at once or in two pieces; every
// scan taken holds values the store can keep; and a scan taken, written out
// again as a row and read back, is the same row.
//
// Input: one byte for where to cut the input in two, then the file's bytes.

#include "front/RowFormat.h"
#include "front/RowParser.h"
#include "fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Read {
    std::vector<acquisition::Scan> scans;
    front::RowParser parser;
};

void readIn(Read& r, std::string_view bytes, std::size_t cut)
{
    r.parser.feed(bytes.substr(0, cut), r.scans);
    r.parser.feed(bytes.substr(cut), r.scans);
    r.parser.finish();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t cut = bytes.size() * data[0] / 255;
    Read whole;
    Read split;
    readIn(whole, bytes, bytes.size());
    readIn(split, bytes, cut);

    const front::RowParser& p = whole.parser;
    FUZZ_CHECK(split.scans.size() == whole.scans.size(), "%zu scans at once, %zu cut at %zu", whole.scans.size(),
               split.scans.size(), cut);
    FUZZ_CHECK(split.parser.problemText() == p.problemText(), "problems differ when cut at %zu:\n  %s\n  %s", cut,
               qPrintable(p.problemText()), qPrintable(split.parser.problemText()));
    FUZZ_CHECK(p.rows() == static_cast<long long>(whole.scans.size()), "%lld rows, %zu scans", p.rows(), whole.scans.size());
    FUZZ_CHECK(p.problems().size() <= front::RowParser::kKeptProblems &&
                   p.problemCount() >= static_cast<long long>(p.problems().size()),
               "%zu problems kept of %lld", p.problems().size(), p.problemCount());
    long long lastLine = 0;
    for (const front::RowProblem& problem : p.problems()) {
        FUZZ_CHECK(problem.line > lastLine && problem.line <= p.lines(), "problem at line %lld after %lld, of %lld",
                   problem.line, lastLine, p.lines());
        lastLine = problem.line;
    }
    FUZZ_CHECK(p.refusal().isEmpty() || whole.scans.empty(), "rows taken from a refused input");

    front::RowFormat format(p.csv() ? front::Format::Csv : front::Format::Jsonl, p.topChannel(), p.digital());
    for (std::size_t i = 0; i < whole.scans.size(); ++i) {
        const acquisition::Scan& s = whole.scans[i];
        FUZZ_CHECK(s.seq == static_cast<long long>(i) + 1 && s.topChannel == p.topChannel() && s.digital == p.digital(),
                   "scan %zu: seq %lld, channels 0-%d", i, s.seq, s.topChannel);
        FUZZ_CHECK(s.elapsedNs >= 0, "scan %zu at %lld ns", i, static_cast<long long>(s.elapsedNs));
        for (int ch = 0; ch <= s.topChannel; ++ch)
            FUZZ_CHECK(s.counts[ch] >= 0 && s.counts[ch] <= 65535 && s.millivolts[ch] >= 0 && s.millivolts[ch] <= 65535,
                       "scan %zu channel %d: %d, %d mV", i, ch, s.counts[ch], s.millivolts[ch]);
        for (int l = 0; l < acquisition::kDigitalLines; ++l)
            FUZZ_CHECK(s.lines[l] == 0 || s.lines[l] == 1, "scan %zu line %d: %d", i, l, s.lines[l]);

        // Written out and read back: the same row.
        const std::string row(p.csv() ? format.row(s) : std::string(format.json(s, false)) + "\n");
        Read again;
        const std::string input = std::string(p.csv() ? format.header().constData() : "") + row;
        readIn(again, input, input.size());
        FUZZ_CHECK(again.scans.size() == 1 && again.parser.problemCount() == 0, "row %zu not read back: %s (%s)", i,
                   row.c_str(), qPrintable(again.parser.problemText()));
        const std::string back(p.csv() ? format.row(again.scans[0]) : std::string(format.json(again.scans[0], false)) + "\n");
        FUZZ_CHECK(back == row, "row %zu read back as %s, written %s", i, back.c_str(), row.c_str());
    }
    return 0;
}
