#include "platform/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

namespace velmar::platform {

QString qtFileFilter(const QString& filter)
{
    const QStringList fields = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2) {
        QString description = fields.at(i).trimmed();
        if (description.endsWith(u')')) {
            const qsizetype open = description.lastIndexOf(u'(');
            if (open >= 0)
                description = description.left(open).trimmed();
        }
        QStringList patterns = fields.at(i + 1).split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == u"*.*")
                pattern = QStringLiteral("*");
        }
        out << QStringLiteral("%1 (%2)").arg(description, patterns.join(u' '));
    }
    return out.join(QStringLiteral(";;"));
}

QString startFolder(const QString& remembered)
{
    const QFileInfo info(remembered);
    if (!remembered.isEmpty() && info.isAbsolute() && info.isDir())
        return remembered;
    return QDir::homePath();
}

QString QtFileDialogs::chosen(QFileDialog& dialog)
{
    dialog.setDirectory(startFolder(m_memory.load ? m_memory.load() : QString()));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString file = dialog.selectedFiles().constFirst();
    if (m_memory.save)
        m_memory.save(QFileInfo(file).absolutePath());
    return file;
}

QString QtFileDialogs::openFileName(const QString& filter)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(qtFileFilter(filter));
    return chosen(dialog);
}

QString QtFileDialogs::saveFileName(const QString& filter, const QString& defaultSuffix)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(qtFileFilter(filter));
    dialog.setDefaultSuffix(defaultSuffix);
    return chosen(dialog);
}

} // namespace velmar::platform
