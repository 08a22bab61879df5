#include "app/arrival_notifier.h"

#include "settings/keys.h"
#include "settings/settings_store.h"
#include "text/text_window.h"

namespace velmar::app {

namespace {

constexpr int kPreviewLines = 3;
constexpr int kPreviewChars = 200;

} // namespace

ArrivalNotifier::ArrivalNotifier(platform::DesktopNotifications& notifications,
                                 const settings::SettingsStore& store)
    : m_notifications(notifications), m_store(store)
{
    m_burst.setSingleShot(true);
    m_burst.setInterval(1000);
    connect(&m_burst, &QTimer::timeout, this, &ArrivalNotifier::burstOver);
    m_notifications.setClickHandler([this](quint32 id) {
        if (id != 0 && id == m_id)
            Q_EMIT clicked(m_newest.data());
    });
}

void ArrivalNotifier::messageArrived(const QString& sender, const QString& text, bool sealed,
                                     text::TextWindow* window)
{
    if (m_store.read(settings::keys::Notify).trimmed() != u"1")
        return;
    m_newest = window;
    m_lastSender = sender;
    if (m_burst.isActive()) {
        ++m_inBurst;
        ++m_total;
        return;
    }
    m_inBurst = 0;
    m_total = 1;
    m_burst.start();
    show(sender, sealed ? QStringLiteral("封書") : preview(text));
}

void ArrivalNotifier::show(const QString& summary, const QString& body)
{
    // The service answers later; until then a further notification replaces the one
    // known before, or comes as a new one.
    m_notifications.show(summary, body, m_id, [self = QPointer<ArrivalNotifier>(this)](quint32 id) {
        if (self)
            self->m_id = id;
    });
}

void ArrivalNotifier::burstOver()
{
    // The burst lasts while messages keep coming; it ends after a second without any.
    if (m_inBurst == 0)
        return;
    m_inBurst = 0;
    // Every message since the burst began, the one shown at its start included.
    show(QStringLiteral("%1 件のメッセージ").arg(m_total),
         QStringLiteral("最新: %1").arg(m_lastSender));
    m_burst.start();
}

QString ArrivalNotifier::senderName(const QString& caption)
{
    const QString prefix = QStringLiteral("From Network ");
    if (!caption.startsWith(prefix))
        return caption;
    QString rest = caption.mid(prefix.size());
    const qsizetype protocol = rest.lastIndexOf(u'(');
    if (protocol > 0)
        rest.truncate(protocol);
    return rest.trimmed();
}

QString ArrivalNotifier::preview(const QString& text)
{
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).remove(u'\r');
    QStringList lines = plain.split(u'\n');
    const bool more = lines.size() > kPreviewLines;
    lines = lines.mid(0, kPreviewLines);
    QString result = lines.join(u'\n');
    if (result.size() > kPreviewChars)
        result = result.left(kPreviewChars);
    else if (!more)
        return result;
    return result + QStringLiteral("…");
}

} // namespace velmar::app
