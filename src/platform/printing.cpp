#include "platform/printing.h"

#include <QPrintDialog>
#include <QPrinter>

namespace velmar::platform {

QtPrinting::QtPrinting(QWidget* parent) : m_parent(parent) {}

QtPrinting::~QtPrinting() = default;

QPrinter& QtPrinting::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

bool QtPrinting::printerDialog()
{
    QPrintDialog dialog(&printer(), m_parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace velmar::platform
