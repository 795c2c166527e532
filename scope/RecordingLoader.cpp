#include "scope/RecordingLoader.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMetaObject>
#include <chrono>
#include <vector>

namespace scope {

namespace {

// Bytes read at a time: a megabyte keeps the reads few and the buffer in cache.
constexpr qint64 kChunk = 1 << 20;
// Bytes read from the file's end to find its last whole row.
constexpr qint64 kTail = 2 * front::RowParser::kMaxLine;
// A followed file's new rows are handed over at least this often, ms.
constexpr int kHandOverMs = 100;

// The time of the file's last whole row, from its first line and its end;
// -1 when there is none.
qint64 timeOfLastRow(QFile& file)
{
    const qint64 size = file.size();
    const QByteArray first = file.read(front::RowParser::kMaxLine + 1);
    const qsizetype firstEnd = first.indexOf('\n');
    if (firstEnd < 0)
        return -1;
    if (!file.seek(std::max<qint64>(firstEnd + 1, size - kTail)))
        return -1;
    const QByteArray tail = file.read(kTail);
    file.seek(0);
    const qsizetype end = tail.lastIndexOf('\n');
    if (end < 0)
        return -1;
    const qsizetype start = tail.lastIndexOf('\n', end - 1) + 1;
    front::RowParser parser;
    std::vector<acquisition::Scan> scans;
    parser.feed(std::string_view(first.constData(), static_cast<std::size_t>(firstEnd + 1)), scans);
    parser.feed(std::string_view(tail.constData() + start, static_cast<std::size_t>(end - start + 1)), scans);
    return scans.empty() ? -1 : scans.back().elapsedNs;
}

} // namespace

struct RecordingLoader::Block {
    std::shared_ptr<std::atomic<int>> queued;   // the run's count of blocks in the event loop
    std::vector<acquisition::Scan> scans;
    qint64 bytes = 0;
    qint64 size = 0;
    long long rows = 0;
    long long problemCount = 0;
    QString problems;
    qint64 lastRowNs = -2;   // -2: not told in this block
    bool atEnd = false;
    bool ended = false;      // the thread stopped (end of file not followed, or an error)
};

RecordingLoader::RecordingLoader(ScanStore& store, QObject* parent)
    : QObject(parent)
    , m_store(store)
{
}

RecordingLoader::~RecordingLoader()
{
    close();
}

QString RecordingLoader::open(const QString& path, bool follow)
{
    close();
    QFile probe(path);
    if (!probe.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot open %1: %2").arg(path, probe.errorString());
    if (QFileInfo(path).isDir())
        return QStringLiteral("%1 is a folder").arg(path);
    m_store.clear();
    m_path = path;
    m_follow = follow;
    m_atEnd = false;
    m_bytes = 0;
    m_size = probe.size();
    m_lastRowNs = -1;
    m_rows = 0;
    m_problems.clear();
    m_problemCount = 0;
    m_stop = false;
    m_thread = std::thread([this, path, follow] { run(path, follow); });
    return {};
}

void RecordingLoader::close()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    // Blocks still queued belong to the run just ended; take() passes them over.
    ++m_generation;
}

// On the reading thread: nothing here touches the store or this object's
// fields but through the blocks it hands over.
void RecordingLoader::run(const QString& path, bool follow)
{
    const unsigned generation = m_generation;
    auto queued = std::make_shared<std::atomic<int>>(0);
    QFile file(path);
    front::RowParser parser;
    auto block = std::make_shared<Block>();
    long long toldProblems = 0;
    auto handOver = [&](bool atEnd, bool ended) {
        block->queued = queued;
        block->bytes = file.pos();
        block->size = std::max(file.size(), block->bytes);
        block->rows = parser.rows();
        block->problemCount = parser.problemCount() + (parser.refusal().isEmpty() ? 0 : 1);
        if (block->problemCount != toldProblems || ended)
            block->problems = parser.problemText();
        toldProblems = block->problemCount;
        block->atEnd = atEnd;
        block->ended = ended;
        ++*queued;
        QMetaObject::invokeMethod(this, [this, generation, b = std::move(block)] {
            --*b->queued;
            if (generation == m_generation)
                take(*b);
        }, Qt::QueuedConnection);
        block = std::make_shared<Block>();
        block->scans.reserve(kBlockScans);
    };
    // Sleeps up to ms, or until told to stop; true when told.
    auto pause = [&](int ms) {
        std::unique_lock lock(m_mutex);
        return m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop.load(); });
    };

    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        block->problems = QStringLiteral("cannot open %1: %2").arg(path, file.errorString());
        handOver(true, true);
        return;
    }
    block->lastRowNs = timeOfLastRow(file);
    block->scans.reserve(kBlockScans);
    std::vector<char> buffer(static_cast<std::size_t>(kChunk));
    bool toldEnd = false;
    auto lastHandOver = std::chrono::steady_clock::now();
    while (!m_stop) {
        // The event loop has enough to do: wait for it rather than pile rows up.
        while (*queued >= kQueuedBlocks && !m_stop)
            pause(2);
        const qint64 n = file.read(buffer.data(), kChunk);
        if (n < 0) {
            handOver(true, true);
            return;
        }
        if (n > 0) {
            parser.feed(std::string_view(buffer.data(), static_cast<std::size_t>(n)), block->scans);
            const auto now = std::chrono::steady_clock::now();
            if (!parser.refusal().isEmpty()) {
                handOver(true, true);
                return;
            }
            if (static_cast<int>(block->scans.size()) >= kBlockScans || (toldEnd && now - lastHandOver > std::chrono::milliseconds(kHandOverMs))) {
                handOver(false, false);
                lastHandOver = now;
            }
            continue;
        }
        // The end of the file, as it is now.
        if (!follow) {
            parser.finish();
            handOver(true, true);
            return;
        }
        if (!toldEnd || !block->scans.empty() || parser.problemCount() != toldProblems) {
            if (!toldEnd && parser.lines() == 0 && file.size() == 0)
                block->problems = QStringLiteral("the file is empty (yet)");
            handOver(true, false);
            toldEnd = true;
        }
        if (pause(kFollowIntervalMs))
            return;
        if (file.size() < file.pos()) {
            parser.finish();
            block->problems = parser.problemText() + QStringLiteral(" (the file got shorter: no longer followed)");
            handOver(true, true);
            return;
        }
    }
}

void RecordingLoader::take(const Block& b)
{
    for (const acquisition::Scan& s : b.scans)
        m_store.append(s);
    m_bytes = b.bytes;
    m_size = b.size;
    m_rows = b.rows;
    m_problemCount = b.problemCount;
    if (!b.problems.isEmpty() || b.problemCount == 0)
        m_problems = b.problems;
    if (b.lastRowNs != -2) {
        m_lastRowNs = b.lastRowNs;
        emit spanKnown();
    }
    emit progress(m_bytes, m_size);
    if (!b.scans.empty())
        emit grew();
    if (b.ended && m_thread.joinable()) {
        m_thread.join();
        ++m_generation;
    }
    if (b.atEnd && !m_atEnd) {
        m_atEnd = true;
        emit reachedEnd();
    }
}

QString RecordingLoader::text() const
{
    if (m_path.isEmpty())
        return {};
    const QLocale locale = QLocale::system();
    QString text = QStringLiteral("%1: %2 rows").arg(QFileInfo(m_path).fileName(), locale.toString(m_rows));
    if (!m_atEnd && m_size > 0)
        text += QStringLiteral(", %1 % read").arg(100 * m_bytes / m_size);
    else if (following())
        text += QStringLiteral(", following");
    if (!m_problems.isEmpty())
        text += QStringLiteral("; %1 problem%2: %3").arg(locale.toString(m_problemCount), m_problemCount == 1 ? QString() : QStringLiteral("s"), m_problems);
    return text;
}

} // namespace scope
