#include "components/pgp/ui/key_dialogs.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace velmar::pgp;

namespace {

const QList<KeyInfo> Keys{
    {QStringLiteral("AAAA"), QStringLiteral("00000000000000AA"), QStringLiteral("山田 花子"),
     QStringLiteral("hanako@example.jp"), KeyValidity::Ultimate},
    {QStringLiteral("BBBB"), QStringLiteral("00000000000000BB"), QStringLiteral("Bob Sender"),
     QStringLiteral("bob@example.jp"), KeyValidity::Undefined},
    {QStringLiteral("CCCC"), QStringLiteral("00000000000000CC"), QStringLiteral("Carol"),
     QStringLiteral("carol@example.org"), KeyValidity::Full},
};

int visibleRows(const RecipientDialog& dialog)
{
    return dialog.keyView()->model()->rowCount();
}

void check(RecipientDialog& dialog, int visibleRow)
{
    QAbstractItemModel* model = dialog.keyView()->model();
    model->setData(model->index(visibleRow, 0), Qt::Checked, Qt::CheckStateRole);
}

TEST(RecipientDialog, FiltersWithoutLosingChecksAndReturnsTheChoice)
{
    RecipientRequest request{Keys, {QStringLiteral("CCCC")}, Keys, QStringLiteral("BBBB")};
    RecipientDialog dialog(request);
    QPushButton* ok = dialog.buttons()->button(QDialogButtonBox::Ok);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(dialog.keyView()->model()->index(0, 3).data().toString(), QStringLiteral("自分の鍵"));

    const struct {
        QString filter;
        int rows;
    } filters[] = {{QStringLiteral("example.jp"), 2},
                   {QStringLiteral("bb"), 1},
                   {QStringLiteral("花子"), 1},
                   {QStringLiteral("nobody"), 0},
                   {QString(), 3}};
    for (const auto& f : filters) {
        dialog.filterBox()->setText(f.filter);
        EXPECT_EQ(visibleRows(dialog), f.rows) << f.filter.toStdString();
    }

    dialog.filterBox()->setText(QStringLiteral("bob"));
    check(dialog, 0);
    dialog.filterBox()->setText(QStringLiteral("zzz"));
    const RecipientChoice choice = dialog.choice();
    EXPECT_EQ(choice.recipients, QStringList({QStringLiteral("BBBB"), QStringLiteral("CCCC")}));
    EXPECT_EQ(choice.signer, QStringLiteral("BBBB"));
}

TEST(RecipientDialog, OkNeedsARecipientAndNoSignerBoxWithoutSigning)
{
    RecipientDialog dialog(RecipientRequest{Keys, {}, {}, {}});
    EXPECT_EQ(dialog.signerBox(), nullptr);
    QPushButton* ok = dialog.buttons()->button(QDialogButtonBox::Ok);
    EXPECT_FALSE(ok->isEnabled());
    check(dialog, 2);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_TRUE(dialog.choice().signer.isEmpty());
}

} // namespace
