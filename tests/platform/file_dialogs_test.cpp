#include "platform/file_dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

using velmar::platform::FolderMemory;
using velmar::platform::QtFileDialogs;
using velmar::platform::startFolder;

TEST(FileDialogs, StartInTheRememberedFolderWhileItExistsElseAtHome)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.txt"));
    QFile(file).open(QIODevice::WriteOnly);
    const struct {
        const char* name;
        QString remembered;
        QString start;
    } cases[] = {
        {"remembered", dir.path(), dir.path()},
        {"never used", QString(), QDir::homePath()},
        {"removed since", dir.filePath(QStringLiteral("gone")), QDir::homePath()},
        {"a file, not a folder", file, QDir::homePath()},
        {"relative", QStringLiteral("."), QDir::homePath()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(startFolder(c.remembered), c.start) << c.name;
}

// Answers the next modal file dialog: records the folder it opened in, then picks
// `choice` (or cancels when empty).
void answerDialog(QString* openedIn, const QString& choice)
{
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        *openedIn = dialog->directory().absolutePath();
        if (choice.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(choice);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it
    });
}

TEST(FileDialogs, OpenAndSaveRememberTheFolderOfTheChosenFile)
{
    QTemporaryDir first;
    QTemporaryDir second;
    const QString existing = second.filePath(QStringLiteral("note.txt"));
    QFile(existing).open(QIODevice::WriteOnly);
    QString remembered = first.path();
    QtFileDialogs dialogs;
    dialogs.setFolderMemory(FolderMemory{[&] { return remembered; },
                                         [&](const QString& folder) { remembered = folder; }});
    const QString filter = QStringLiteral("All(*.*)|*.*");

    QString openedIn;
    answerDialog(&openedIn, existing);
    EXPECT_EQ(dialogs.openFileName(filter), existing);
    EXPECT_EQ(openedIn, QDir(first.path()).absolutePath());
    EXPECT_EQ(remembered, QDir(second.path()).absolutePath());

    answerDialog(&openedIn, QString());
    EXPECT_EQ(dialogs.saveFileName(filter, QStringLiteral("txt")), QString());
    EXPECT_EQ(openedIn, QDir(second.path()).absolutePath());
    EXPECT_EQ(remembered, QDir(second.path()).absolutePath()); // a cancel changes nothing

    const QString target = first.filePath(QStringLiteral("out.txt"));
    answerDialog(&openedIn, target);
    EXPECT_EQ(dialogs.saveFileName(filter, QStringLiteral("txt")), target);
    EXPECT_EQ(remembered, QDir(first.path()).absolutePath());
}

} // namespace
