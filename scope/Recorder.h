#pragma once

// Recording to a file, row by row: zoltctl's rows (CSV with its header, or
// JSON lines), each written whole and at once, with nothing held back in a
// buffer. A write that fails (a full disk, a device gone) or a file that is
// removed ends the recording with a message; the file then holds every row
// up to the last whole one, since a row cut short is taken back off.

#include "front/ChannelSetup.h"
#include "front/RowFormat.h"
#include "link/Scan.h"

#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <optional>

namespace scope {

class Recorder {
public:
    enum class Opened { Ok, Exists, Failed };

    // Starts a file with the columns of channels 0..topChannel and, with
    // digital, the lines. An existing file is replaced only when replace is
    // set; otherwise Exists comes back and the file is left alone.
    // setup: the scaled values in added columns, and the setup beside the file.
    Opened start(const QString& path, front::Format format, int topChannel, bool digital, bool replace,
                 const front::ChannelSetup* setup = nullptr);
    // One row for a scan. False when the recording has just ended on an error.
    bool write(const acquisition::Scan& scan);
    // Ends the recording if the file is no longer where it was opened; true
    // when it is still there.
    bool checkFile();
    void stop();

    bool active() const { return m_file.isOpen(); }
    const QString& path() const { return m_path; }
    long long rows() const { return m_rows; }
    qint64 bytes() const { return m_bytes; }
    qint64 elapsedMs() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }
    // Why the recording ended or did not start; empty while all is well.
    const QString& error() const { return m_error; }
    front::Format format() const { return m_format; }
    int topChannel() const { return m_topChannel; }
    bool digital() const { return m_digital; }

private:
    bool put(const char* data, qint64 size);
    void fail(const QString& why);

    QFile m_file;
    QString m_path;
    std::optional<front::RowFormat> m_rowFormat;
    front::Format m_format = front::Format::Csv;
    int m_topChannel = 0;
    bool m_digital = false;
    long long m_rows = 0;
    qint64 m_bytes = 0;
    QElapsedTimer m_clock;
    QString m_error;
};

} // namespace scope
