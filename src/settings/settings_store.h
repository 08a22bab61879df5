#pragma once

#include <QString>
#include <QStringView>
#include <functional>
#include <memory>

class QSettings;
class QVariant;

namespace velmar::settings {

// The three kinds of section. The IP Messenger section is "IPM\<port>", built from
// the endpoint's current local port each time it is used.
enum class Section { General, Ipm, IpmPort };

// One key of the store: its section, its name and the default its readers pass.
struct Setting {
    Section section;
    QStringView key;
    QStringView fallback;
};

// The per-user settings store of application "Velmar5": text values addressed by
// section and key. An INI file, mode 0600, replaced atomically on every write, so a
// crash never leaves it half written and what was written survives an immediate exit.
class SettingsStore {
public:
    // `filePath` is the INI file; its folder is created when missing.
    explicit SettingsStore(const QString& filePath);
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // $XDG_CONFIG_HOME/Velmar/Velmar5.ini (~/.config when unset).
    static QString defaultFilePath();
    QString filePath() const;

    // read(application, section, key, default) with the application fixed.
    // `section` is "general", "IPM" or "IPM\<port>" (or any other name).
    QString read(const QString& section, const QString& key, const QString& fallback) const;
    void write(const QString& section, const QString& key, const QString& value);

    QString read(const Setting& setting) const;
    // The same key with another default (readers that pass their own).
    QString read(const Setting& setting, const QString& fallback) const;
    void write(const Setting& setting, const QString& value);

    // Called once, at the first write that does not reach the file, with the file's
    // path and the system's reason; later failures are not repeated. Without a
    // handler failures pass silently.
    using WriteFailureHandler = std::function<void(const QString& filePath, const QString& reason)>;
    void setWriteFailureHandler(WriteFailureHandler handler);

    // Where the IP Messenger section's port comes from (default: 2425).
    void setPortSource(std::function<quint16()> portSource);
    QString sectionName(Section section) const;

private:
    static QString valueText(const QVariant& value);

    std::unique_ptr<QSettings> m_settings;
    std::function<quint16()> m_portSource;
    WriteFailureHandler m_writeFailure;
    bool m_writeFailureReported = false;
};

// True when `value` is the "not set" sentinel ("NULL" in any case).
bool isUnset(const QString& value);

} // namespace velmar::settings
