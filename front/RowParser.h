#pragma once

// Reading back the rows RowFormat writes: zoltctl's and ZOLT Scope's
// recordings, CSV with its header or JSON lines, fed as the bytes come (a
// whole file, or the tail of one still being written).
//
// The first line decides what the rows hold: the CSV header's columns, or the
// keys of the first JSON object. Which channels (0..N) and whether the
// digital lines are there follow from it; columns or keys this reader does
// not know (a scaled chN_value, a seq) are passed over. A line is never held
// whole past kMaxLine bytes, so a file of one endless line costs no memory.
//
// A bad row is counted with its line number and skipped; the good rows
// around it are kept. A first line that is neither a header nor a row of
// ours refuses the whole file. Numbers are read straight off the bytes.

#include "link/Scan.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace front {

struct RowProblem {
    long long line = 0;   // 1 for the file's first line
    QString what;
};

class RowParser {
public:
    // Longest line taken, bytes: a row of every column with scaled values is
    // under 400.
    static constexpr std::size_t kMaxLine = 4096;
    // Problems kept with their text; past these only counted.
    static constexpr std::size_t kKeptProblems = 5;

    // Parses the complete lines in data; a last line without its end is held
    // for the next call. Each good row becomes one scan in out.
    void feed(std::string_view data, std::vector<acquisition::Scan>& out);
    // The end of the input: a last line without its end is reported as cut
    // short (and not taken), an empty input as empty.
    void finish();

    // Set when the first line is not a recording's: nothing more is read.
    const QString& refusal() const { return m_refusal; }
    bool started() const { return m_started; }
    bool csv() const { return m_csv; }
    int topChannel() const { return m_topChannel; }
    bool digital() const { return m_digital; }
    long long lines() const { return m_line; }
    long long rows() const { return m_rows; }
    // The first kKeptProblems problems, and how many there were in all.
    const std::vector<RowProblem>& problems() const { return m_problems; }
    long long problemCount() const { return m_problemCount; }
    // Problems and refusal as one text: "line 7: ...; line 9: ...; and 12 more".
    QString problemText() const;

    // What a field holds; public for the functions beside the parser.
    enum Field : signed char { Ignored = -1, Time = 0, Seconds = 1, Count0 = 2, Mv0 = Count0 + acquisition::kChannels,
                               Line0 = Mv0 + acquisition::kChannels, kFields = Line0 + acquisition::kDigitalLines };

private:
    void line(std::string_view text, std::vector<acquisition::Scan>& out);
    bool start(std::string_view text);
    bool setLayout(const std::vector<Field>& fields, QString& why);
    bool csvRow(std::string_view text, acquisition::Scan& scan);
    bool jsonRow(std::string_view text, acquisition::Scan& scan);
    // The fields of a JSON object, each handed to take(field, value, quoted);
    // false (with the problem noted) when the line is no such object.
    template <typename Take>
    bool jsonFields(std::string_view text, Take take);
    bool set(Field field, std::string_view value, bool quoted, acquisition::Scan& scan);
    void problem(const QString& what);

    std::string m_held;   // a line's start, from the last feed
    bool m_skipping = false;   // inside a line already found too long
    bool m_started = false;
    bool m_csv = true;
    int m_topChannel = 0;
    bool m_digital = false;
    std::vector<Field> m_columns;     // CSV: what each column holds
    std::uint32_t m_needed = 0;       // JSON: a bit for each field a row must have
    long long m_line = 0;
    long long m_rows = 0;
    QString m_refusal;
    std::vector<RowProblem> m_problems;
    long long m_problemCount = 0;
};

} // namespace front
