#pragma once

// Test doubles for the file dialogs and the printer: scripted answers, and a
// printer that writes a PDF file a test can read back.

#include "platform/file_dialogs.h"
#include "platform/printing.h"

#include <QList>
#include <QPrinter>
#include <QStringList>

namespace velmar::platform {

// Each dialog returns the next scripted answer (an empty string is a cancel), or a
// cancel when the script is used up. The filters asked for are recorded.
class ScriptedFileDialogs final : public FileDialogs {
public:
    QString openFileName(const QString& filter) override
    {
        openFilters << filter;
        return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
    }
    QString saveFileName(const QString& filter, const QString& defaultSuffix) override
    {
        saveFilters << filter;
        saveSuffixes << defaultSuffix;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }

    QStringList openAnswers;
    QStringList saveAnswers;
    QStringList openFilters;
    QStringList saveFilters;
    QStringList saveSuffixes;
};

// Prints into a PDF file. `acceptDialog` is the answer of the printer dialog.
class PdfPrinting final : public Printing {
public:
    explicit PdfPrinting(const QString& pdfPath) : m_printer(QPrinter::HighResolution)
    {
        m_printer.setOutputFormat(QPrinter::PdfFormat);
        m_printer.setOutputFileName(pdfPath);
    }
    QPrinter& printer() override { return m_printer; }
    bool printerDialog() override
    {
        ++dialogs;
        return acceptDialog;
    }

    bool acceptDialog = true;
    int dialogs = 0;

private:
    QPrinter m_printer;
};

} // namespace velmar::platform
