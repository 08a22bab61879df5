#include "platform/file_dialogs.h"

#include <QFileDialog>
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

QString QtFileDialogs::openFileName(const QString& filter)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(qtFileFilter(filter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtFileDialogs::saveFileName(const QString& filter, const QString& defaultSuffix)
{
    QFileDialog dialog(m_parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(qtFileFilter(filter));
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace velmar::platform
