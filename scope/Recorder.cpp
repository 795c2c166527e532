#include "scope/Recorder.h"

#include <QFileInfo>

namespace scope {

Recorder::Opened Recorder::start(const QString& path, front::Format format, int topChannel, bool digital,
                                 bool replace, const front::ChannelSetup* setup)
{
    stop();
    m_error.clear();
    m_path = path;
    m_rows = 0;
    m_bytes = 0;
    m_format = format;
    m_topChannel = topChannel;
    m_digital = digital;
    m_file.setFileName(path);
    // NewOnly refuses an existing file in the same step that creates it, so
    // a file that appears between a question and the answer is not lost.
    QIODevice::OpenMode mode = QIODevice::WriteOnly | QIODevice::Unbuffered;
    mode |= replace ? QIODevice::Truncate : QIODevice::NewOnly;
    if (!m_file.open(mode)) {
        if (!replace && QFileInfo::exists(path))
            return Opened::Exists;
        m_error = QStringLiteral("cannot write %1: %2").arg(path, m_file.errorString());
        return Opened::Failed;
    }
    // The setup travels beside the rows it gives meaning to, as zoltctl's does.
    if (setup) {
        if (const QString why = setup->save(front::setupSidecarPath(path)); !why.isEmpty()) {
            fail(why);
            return Opened::Failed;
        }
    }
    m_rowFormat.emplace(format, topChannel, digital, setup);
    m_clock.start();
    const QByteArray header = m_rowFormat->header();
    if (!header.isEmpty() && !put(header.constData(), header.size()))
        return Opened::Failed;
    return Opened::Ok;
}

bool Recorder::write(const acquisition::Scan& scan)
{
    if (!m_file.isOpen())
        return false;
    const std::string_view row = m_rowFormat->row(scan);
    if (!put(row.data(), static_cast<qint64>(row.size())))
        return false;
    ++m_rows;
    return true;
}

bool Recorder::put(const char* data, qint64 size)
{
    const qint64 written = m_file.write(data, size);
    if (written == size) {
        m_bytes += size;
        return true;
    }
    // Take back what part of the row did go out, so the file ends on a whole row.
    const QString why = m_file.errorString();
    (void)m_file.resize(m_bytes);
    fail(QStringLiteral("recording stopped: cannot write %1: %2").arg(m_path, why));
    return false;
}

bool Recorder::checkFile()
{
    if (!m_file.isOpen())
        return false;
    if (QFileInfo::exists(m_path))
        return true;
    fail(QStringLiteral("recording stopped: %1 was removed").arg(m_path));
    return false;
}

void Recorder::fail(const QString& why)
{
    m_error = why;
    m_file.close();
    m_rowFormat.reset();
}

void Recorder::stop()
{
    if (m_file.isOpen())
        m_file.close();
    m_rowFormat.reset();
}

} // namespace scope
