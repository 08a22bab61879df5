#include "history/history_journal.h"

#include <QFile>
#include <QIODevice>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace velmar::history {

namespace {

constexpr quint16 RecordMark = 0x564d;
constexpr qsizetype HeaderSize = 8; // length (4), checksum (2), mark (2)
constexpr quint32 MaxRecord = 16 * 1024 * 1024;

} // namespace

HistoryJournal::~HistoryJournal()
{
    close();
}

bool HistoryJournal::open(const QString& path)
{
    close();
    m_path = path;
    m_fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY | O_APPEND | O_CLOEXEC,
                  0600);
    if (m_fd < 0) {
        m_error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    return true;
}

void HistoryJournal::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

QByteArray HistoryJournal::encode(const HistoryEvent& event)
{
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << event;
    }
    QByteArray record(HeaderSize, Qt::Uninitialized);
    qToLittleEndian<quint32>(static_cast<quint32>(payload.size()), record.data());
    qToLittleEndian<quint16>(qChecksum(payload), record.data() + 4);
    qToLittleEndian<quint16>(RecordMark, record.data() + 6);
    return record + payload;
}

bool HistoryJournal::append(const HistoryEvent& event)
{
    if (m_fd < 0)
        return false;
    const QByteArray record = encode(event);
    const ssize_t written = ::write(m_fd, record.constData(), static_cast<size_t>(record.size()));
    if (written == record.size())
        return true;
    m_error =
        written < 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("short write");
    // A torn record would hide every later one: cut it off again.
    if (written > 0) {
        const off_t end = ::lseek(m_fd, 0, SEEK_END);
        if (end >= written) [[maybe_unused]]
            const int cut = ::ftruncate(m_fd, end - written);
    }
    return false;
}

bool HistoryJournal::truncate()
{
    return m_fd >= 0 && ::ftruncate(m_fd, 0) == 0;
}

QList<HistoryEvent> HistoryJournal::readAll() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decode(file.readAll());
}

QList<HistoryEvent> HistoryJournal::decode(const QByteArray& bytes)
{
    QList<HistoryEvent> events;
    qsizetype at = 0;
    while (bytes.size() - at >= HeaderSize) {
        const char* header = bytes.constData() + at;
        const quint32 length = qFromLittleEndian<quint32>(header);
        const quint16 checksum = qFromLittleEndian<quint16>(header + 4);
        if (qFromLittleEndian<quint16>(header + 6) != RecordMark || length > MaxRecord ||
            bytes.size() - at - HeaderSize < static_cast<qsizetype>(length))
            break;
        const QByteArray payload = bytes.mid(at + HeaderSize, length);
        if (qChecksum(payload) != checksum)
            break;
        QDataStream in(payload);
        in.setVersion(QDataStream::Qt_6_4);
        HistoryEvent event;
        in >> event;
        if (in.status() != QDataStream::Ok)
            break;
        events.append(event);
        at += HeaderSize + length;
    }
    return events;
}

} // namespace velmar::history
