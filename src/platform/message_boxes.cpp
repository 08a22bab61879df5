#include "platform/message_boxes.h"

#include <QMessageBox>

namespace velmar::platform {

void QtMessageBoxes::show(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

} // namespace velmar::platform
