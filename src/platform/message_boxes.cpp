#include "platform/message_boxes.h"

#include <QMessageBox>
#include <QPushButton>

namespace velmar::platform {

bool MessageBoxes::ask(const QString& title, const QString& text, const QString& /*acceptText*/,
                       const QString& rejectText)
{
    show(title, text + QStringLiteral("\r\n\r\n（") + rejectText + QStringLiteral("）"));
    return false;
}

bool QtMessageBoxes::ask(const QString& title, const QString& text, const QString& acceptText,
                         const QString& rejectText)
{
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, m_parent);
    QPushButton* accept = box.addButton(acceptText, QMessageBox::AcceptRole);
    QPushButton* reject = box.addButton(rejectText, QMessageBox::RejectRole);
    box.setDefaultButton(reject);
    box.setEscapeButton(reject);
    box.exec();
    return box.clickedButton() == accept;
}

void QtMessageBoxes::show(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

} // namespace velmar::platform
