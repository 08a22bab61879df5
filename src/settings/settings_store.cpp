#include "settings/settings_store.h"

#include "settings/keys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmar::settings {

namespace {

// Gives an existing file mode 0600: one restored from a backup, or copied in by
// hand, may be readable by every user although it holds the password.
void keepPrivate(const QString& filePath)
{
    const QByteArray native = QFile::encodeName(filePath);
    struct stat info {};
    if (::stat(native.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
        (info.st_mode & 07777) != 0600)
        ::chmod(native.constData(), 0600);
}

// Creates the file with mode 0600 before QSettings first writes it: QSaveFile keeps
// the permissions of the file it replaces, so the password never becomes readable.
void createPrivateFile(const QString& filePath)
{
    const QFileInfo info(filePath);
    QDir().mkpath(info.absolutePath());
    if (info.exists()) {
        keepPrivate(filePath);
        return;
    }
    const QByteArray native = QFile::encodeName(filePath);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
}

// The QSettings key of (section, key). QSettings nests groups with "/" where the
// store's section names use a backslash, and its INI format reads a section named
// [General], in any case, as the top level: "general" keys therefore live there.
QString settingsKey(const QString& section, const QString& key)
{
    if (section.compare(u"general", Qt::CaseInsensitive) == 0)
        return key;
    QString group = section;
    group.replace(u'\\', u'/');
    return group + u'/' + key;
}

// Why the settings file cannot be written. QSettings only says that it failed, so
// the reason is found again with plain system calls: a read-only file or folder, a
// missing folder, or a full disk (a probe file of the settings' size next to it).
QString writeFailureReason(const QString& filePath, qint64 bytesNeeded)
{
    const QFileInfo info(filePath);
    const QByteArray file = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const auto reason = [] { return QString::fromLocal8Bit(std::strerror(errno)); };
    if (info.exists() && ::access(file.constData(), W_OK) != 0)
        return reason();
    if (::access(folder.constData(), W_OK | X_OK) != 0)
        return reason();
    QByteArray probe = folder + "/.velmar-write-probe-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0)
        return reason();
    const QByteArray filler(std::max<qint64>(bytesNeeded, 4096), '\n');
    const ssize_t written = ::write(fd, filler.constData(), static_cast<size_t>(filler.size()));
    const int writeError = written < filler.size() ? (written < 0 ? errno : ENOSPC) : 0;
    const int syncError = writeError == 0 && ::fsync(fd) != 0 ? errno : 0;
    ::close(fd);
    ::unlink(probe.constData());
    if (writeError != 0 || syncError != 0)
        return QString::fromLocal8Bit(std::strerror(writeError != 0 ? writeError : syncError));
    return QString::fromLocal8Bit(std::strerror(EIO));
}

} // namespace

SettingsStore::SettingsStore(const QString& filePath)
    : m_portSource([] { return keys::DefaultPort; })
{
    createPrivateFile(filePath);
    // Always the (path, format) constructor: QSettings(org, app) ignores setPath in tests.
    m_settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
}

SettingsStore::~SettingsStore()
{
    m_settings->sync();
}

QString SettingsStore::defaultFilePath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return base + QStringLiteral("/Velmar/Velmar5.ini");
}

QString SettingsStore::filePath() const
{
    return m_settings->fileName();
}

QString SettingsStore::read(const QString& section, const QString& key,
                            const QString& fallback) const
{
    const QVariant value = m_settings->value(settingsKey(section, key));
    return value.isValid() ? valueText(value) : fallback;
}

QString SettingsStore::valueText(const QVariant& value)
{
    // A hand-edited value with unquoted commas (ITI=1,2,3,4) comes back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}

void SettingsStore::write(const QString& section, const QString& key, const QString& value)
{
    m_settings->setValue(settingsKey(section, key), value);
    m_settings->sync();
    // Whatever happened to the file meanwhile, what was just written is not for others.
    keepPrivate(filePath());
    if (m_settings->status() == QSettings::NoError || m_writeFailureReported || !m_writeFailure)
        return;
    m_writeFailureReported = true;
    const QString path = filePath();
    m_writeFailure(path, writeFailureReason(path, QFileInfo(path).size() + value.size() * 4));
}

void SettingsStore::setWriteFailureHandler(WriteFailureHandler handler)
{
    m_writeFailure = std::move(handler);
}

QString SettingsStore::read(const Setting& setting) const
{
    // Keys of the general section are read as they are: no string is built for the
    // key or the default unless needed (some keys are read for every datagram).
    if (setting.section == Section::General) {
        const QVariant value = m_settings->value(setting.key);
        return value.isValid() ? valueText(value) : setting.fallback.toString();
    }
    return read(setting, setting.fallback.toString());
}

QString SettingsStore::read(const Setting& setting, const QString& fallback) const
{
    return read(sectionName(setting.section), setting.key.toString(), fallback);
}

void SettingsStore::write(const Setting& setting, const QString& value)
{
    write(sectionName(setting.section), setting.key.toString(), value);
}

void SettingsStore::setPortSource(std::function<quint16()> portSource)
{
    m_portSource = std::move(portSource);
}

QString SettingsStore::sectionName(Section section) const
{
    switch (section) {
    case Section::General:
        return QStringLiteral("general");
    case Section::Ipm:
        return QStringLiteral("IPM");
    case Section::IpmPort:
        return QStringLiteral("IPM\\") + QString::number(m_portSource());
    }
    return {};
}

bool isUnset(const QString& value)
{
    return value.compare(u"NULL", Qt::CaseInsensitive) == 0;
}

} // namespace velmar::settings
