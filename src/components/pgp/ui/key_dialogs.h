#pragma once

#include "components/pgp/key_choice.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QLineEdit;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTreeView;

namespace velmar::pgp {

// Chooses the recipients of an encrypted message: the usable public keys with name,
// e-mail, key ID and validity, each with a check box, narrowed by a filter box that
// keeps the checks of hidden rows. When signing, also the key to sign with.
class RecipientDialog final : public QDialog {
    Q_OBJECT
public:
    explicit RecipientDialog(const RecipientRequest& request, QWidget* parent = nullptr);

    // The checked keys in list order, and the signer (empty when not signing).
    RecipientChoice choice() const;
    QLineEdit* filterBox() const { return m_filter; }
    QTreeView* keyView() const { return m_view; }
    QComboBox* signerBox() const { return m_signer; }
    QDialogButtonBox* buttons() const { return m_buttons; }

private:
    void updateOkButton();

    QStandardItemModel* m_model = nullptr;
    QSortFilterProxyModel* m_proxy = nullptr;
    QLineEdit* m_filter = nullptr;
    QTreeView* m_view = nullptr;
    QComboBox* m_signer = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

// Chooses one secret key to sign with.
class SignerDialog final : public QDialog {
    Q_OBJECT
public:
    SignerDialog(const QList<KeyInfo>& signers, const QString& preselected,
                 QWidget* parent = nullptr);
    QString signer() const;
    QComboBox* signerBox() const { return m_signer; }

private:
    QComboBox* m_signer = nullptr;
};

// Runs the two dialogs modally over the main window.
class QtKeyChooser final : public KeyChooser {
public:
    explicit QtKeyChooser(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    std::optional<RecipientChoice> chooseRecipients(const RecipientRequest& request) override;
    std::optional<QString> chooseSigner(const QList<KeyInfo>& signers,
                                        const QString& preselected) override;

private:
    QWidget* m_parent;
};

// "Name <mail> (key ID)", as a signer box lists a key.
QString keyLabel(const KeyInfo& key);

} // namespace velmar::pgp
