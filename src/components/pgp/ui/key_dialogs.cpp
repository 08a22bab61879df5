#include "components/pgp/ui/key_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace velmar::pgp {

namespace {

constexpr int FingerprintRole = Qt::UserRole + 1;

enum Column { NameColumn, EmailColumn, KeyIdColumn, ValidityColumn, ColumnCount };

QComboBox* signerCombo(const QList<KeyInfo>& signers, const QString& preselected, QWidget* parent)
{
    auto* box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("signer"));
    for (const KeyInfo& key : signers) {
        box->addItem(keyLabel(key), key.fingerprint);
        if (key.fingerprint == preselected)
            box->setCurrentIndex(box->count() - 1);
    }
    return box;
}

} // namespace

QString keyLabel(const KeyInfo& key)
{
    QString label = key.name;
    if (!key.email.isEmpty())
        label += (label.isEmpty() ? QString() : QStringLiteral(" ")) + u'<' + key.email + u'>';
    return label + QStringLiteral(" (") + key.keyId + u')';
}

RecipientDialog::RecipientDialog(const RecipientRequest& request, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("RecipientDialog"));
    setWindowTitle(QStringLiteral("暗号化 - 受取人の選択"));

    m_model = new QStandardItemModel(0, ColumnCount, this);
    m_model->setHorizontalHeaderLabels({QStringLiteral("名前"), QStringLiteral("メールアドレス"),
                                        QStringLiteral("鍵ID"), QStringLiteral("有効性")});
    for (const KeyInfo& key : request.recipients) {
        auto* name = new QStandardItem(key.name);
        name->setCheckable(true);
        name->setCheckState(request.preselected.contains(key.fingerprint) ? Qt::Checked
                                                                          : Qt::Unchecked);
        name->setData(key.fingerprint, FingerprintRole);
        name->setToolTip(key.fingerprint);
        QList<QStandardItem*> row{name, new QStandardItem(key.email), new QStandardItem(key.keyId),
                                  new QStandardItem(validityText(key.validity))};
        for (QStandardItem* item : row)
            item->setEditable(false);
        m_model->appendRow(row);
    }

    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setFilterKeyColumn(-1);
    m_proxy->setFilterCaseSensitivity(Qt::CaseInsensitive);

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("filter"));
    m_filter->setPlaceholderText(QStringLiteral("名前・メールアドレス・鍵IDで絞り込み"));
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, m_proxy,
            &QSortFilterProxyModel::setFilterFixedString);

    m_view = new QTreeView(this);
    m_view->setObjectName(QStringLiteral("keys"));
    m_view->setModel(m_proxy);
    m_view->setRootIsDecorated(false);
    m_view->setAlternatingRowColors(true);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // A double click checks (or unchecks) every selected row at once; the check box
    // itself takes a click or the space bar.
    const auto toggleSelected = [this] {
        const QModelIndexList rows = m_view->selectionModel()->selectedRows(NameColumn);
        for (const QModelIndex& row : rows) {
            QStandardItem* item = m_model->itemFromIndex(m_proxy->mapToSource(row));
            item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
        }
    };
    connect(m_view, &QTreeView::doubleClicked, this, toggleSelected);
    connect(m_model, &QStandardItemModel::itemChanged, this, &RecipientDialog::updateOkButton);

    auto* layout = new QVBoxLayout(this);
    auto* prompt = new QLabel(request.recipients.isEmpty()
                                  ? QStringLiteral("暗号化に使える公開鍵が鍵束にありません。")
                                  : QStringLiteral("受取人の公開鍵にチェックを付けてください。"),
                              this);
    layout->addWidget(prompt);
    layout->addWidget(m_filter);
    layout->addWidget(m_view, 1);
    if (!request.signers.isEmpty()) {
        auto* label = new QLabel(QStringLiteral("署名に使う鍵:"), this);
        m_signer = signerCombo(request.signers, request.preselectedSigner, this);
        label->setBuddy(m_signer);
        layout->addWidget(label);
        layout->addWidget(m_signer);
    }
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("暗号化"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(m_buttons);
    resize(640, 360);
    updateOkButton();
    m_filter->setFocus();
}

RecipientChoice RecipientDialog::choice() const
{
    RecipientChoice result;
    for (int row = 0; row < m_model->rowCount(); ++row) {
        const QStandardItem* item = m_model->item(row, NameColumn);
        if (item->checkState() == Qt::Checked)
            result.recipients.append(item->data(FingerprintRole).toString());
    }
    if (m_signer)
        result.signer = m_signer->currentData().toString();
    return result;
}

void RecipientDialog::updateOkButton()
{
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(!choice().recipients.isEmpty());
}

SignerDialog::SignerDialog(const QList<KeyInfo>& signers, const QString& preselected,
                           QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("SignerDialog"));
    setWindowTitle(QStringLiteral("署名 - 鍵の選択"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("署名に使う鍵を選んでください。"), this));
    m_signer = signerCombo(signers, preselected, this);
    layout->addWidget(m_signer);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("署名"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString SignerDialog::signer() const
{
    return m_signer->currentData().toString();
}

std::optional<RecipientChoice> QtKeyChooser::chooseRecipients(const RecipientRequest& request)
{
    RecipientDialog dialog(request, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}

std::optional<QString> QtKeyChooser::chooseSigner(const QList<KeyInfo>& signers,
                                                  const QString& preselected)
{
    SignerDialog dialog(signers, preselected, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.signer();
}

} // namespace velmar::pgp
