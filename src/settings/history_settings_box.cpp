#include "settings/history_settings_box.h"

#include "settings/keys.h"
#include "settings/settings_store.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace velmar::settings {

HistorySettingsBox::HistorySettingsBox(SettingsStore& store, QWidget* parent)
    : QGroupBox(QStringLiteral("履歴"), parent), m_store(store)
{
    setObjectName(QStringLiteral("HistoryBox"));
    m_keep = new QCheckBox(QStringLiteral("履歴を残す"), this);
    m_keep->setObjectName(QStringLiteral("HistoryKeep"));
    m_keep->setToolTip(QStringLiteral("送受信したメッセージを検索できるように保存します"));
    m_keep->setChecked(store.read(keys::KeepHistory).trimmed() != u"0");

    m_days = new QSpinBox(this);
    m_days->setObjectName(QStringLiteral("HistoryDays"));
    m_days->setRange(0, 36500);
    m_days->setSpecialValueText(QStringLiteral("無期限"));
    m_days->setSuffix(QStringLiteral(" 日"));
    m_days->setToolTip(QStringLiteral("これより古い履歴を消します (0 は無期限)"));
    bool ok = false;
    const int days = store.read(keys::HistoryDays).trimmed().toInt(&ok);
    m_days->setValue(ok && days > 0 ? days : 0);
    auto* daysLabel = new QLabel(QStringLiteral("保存期間"), this);
    daysLabel->setBuddy(m_days);

    m_clear = new QPushButton(QStringLiteral("履歴を消去"), this);
    m_clear->setObjectName(QStringLiteral("HistoryClear"));
    m_clear->setToolTip(QStringLiteral("保存されている履歴をすべて消します"));
    connect(m_clear, &QPushButton::clicked, this, &HistorySettingsBox::clearRequested);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_keep);
    layout->addWidget(daysLabel);
    layout->addWidget(m_days);
    layout->addStretch();
    layout->addWidget(m_clear);
}

void HistorySettingsBox::commit()
{
    m_store.write(keys::KeepHistory,
                  m_keep->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    m_store.write(keys::HistoryDays, QString::number(m_days->value()));
}

} // namespace velmar::settings
