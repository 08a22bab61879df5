#pragma once

#include <QGroupBox>

class QCheckBox;
class QPushButton;
class QSpinBox;

namespace velmar::settings {

class SettingsStore;

// The settings of the message history, a block of its own in the settings dialog:
// whether a history is kept ("History"), for how many days ("HistoryDays", 0 for
// always), and the button that empties it (the owner asks and clears).
class HistorySettingsBox final : public QGroupBox {
    Q_OBJECT
public:
    explicit HistorySettingsBox(SettingsStore& store, QWidget* parent = nullptr);

    // Writes the fields to the store ("セット").
    void commit();

    QCheckBox* keepHistory() const { return m_keep; }
    QSpinBox* days() const { return m_days; }
    QPushButton* clearButton() const { return m_clear; }

Q_SIGNALS:
    void clearRequested();

private:
    SettingsStore& m_store;
    QCheckBox* m_keep = nullptr;
    QSpinBox* m_days = nullptr;
    QPushButton* m_clear = nullptr;
};

} // namespace velmar::settings
