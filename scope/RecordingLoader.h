#pragma once

// A recording opened again: zoltctl's or ZOLT Scope's rows read from a file
// into a scan store, for the chart to show as it would a run of its own.
//
// The file is parsed on a thread of its own, a block of rows at a time; each
// finished block goes to the event loop, which appends it to the store, so
// that the window stays responsive through a day-long file. Before the rows,
// the file's last whole row is read, so that the run's length is known at
// once. While following, the end of the file is watched and rows flushed to it
// later are added too (a last line without its end waits for it).
//
// No widgets here: a window shows progress() and text(), and redraws on grew().

#include "front/RowParser.h"
#include "scope/ScanStore.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace scope {

class RecordingLoader : public QObject {
    Q_OBJECT

public:
    // Scans handed over at a time; the thread waits while this many blocks
    // are still queued, so a slow event loop never piles rows up in memory.
    static constexpr int kBlockScans = 16384;
    static constexpr int kQueuedBlocks = 4;
    // How often the end of a followed file is looked at, ms.
    static constexpr int kFollowIntervalMs = 200;

    explicit RecordingLoader(ScanStore& store, QObject* parent = nullptr);
    ~RecordingLoader() override;

    // Clears the store and starts reading path into it; empty when the file
    // opened, else why not. With follow, rows written later are added too.
    QString open(const QString& path, bool follow);
    // Stops reading (the scans read stay in the store).
    void close();

    const QString& path() const { return m_path; }
    bool active() const { return m_thread.joinable(); }
    // The first pass has reached the end of the file.
    bool atEnd() const { return m_atEnd; }
    bool following() const { return m_follow && active(); }
    qint64 bytesRead() const { return m_bytes; }
    qint64 fileSize() const { return m_size; }
    // Time of the file's last whole row as it was opened, ns since the run's
    // start; -1 before it is known or when there is none.
    qint64 lastRowNs() const { return m_lastRowNs; }
    long long rows() const { return m_rows; }
    // The file's problems (refusal, bad lines), empty when there were none.
    const QString& problems() const { return m_problems; }
    long long problemCount() const { return m_problemCount; }
    // One line for a status bar: the file, its rows, how far, its problems.
    QString text() const;

signals:
    // The run's length is known (lastRowNs()).
    void spanKnown();
    // Scans were added to the store.
    void grew();
    // The first pass reached the end of the file (a followed file goes on).
    void reachedEnd();
    void progress(qint64 bytes, qint64 total);

private:
    struct Block;
    void run(const QString& path, bool follow);
    void take(const Block& block);

    ScanStore& m_store;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;               // with m_wake: the thread's pause, cut short by close()
    std::condition_variable m_wake;
    unsigned m_generation = 0;
    QString m_path;
    bool m_follow = false;
    bool m_atEnd = false;
    qint64 m_bytes = 0;
    qint64 m_size = 0;
    qint64 m_lastRowNs = -1;
    long long m_rows = 0;
    QString m_problems;
    long long m_problemCount = 0;
};

} // namespace scope
