#pragma once

#include <memory>

class QPrinter;
class QWidget;

namespace velmar::platform {

// The printer the print command uses and the dialog that chooses it. The choice
// lives as long as this object; nothing is stored.
class Printing {
public:
    virtual ~Printing() = default;
    // The current printer with its current settings; print jobs paint on it.
    virtual QPrinter& printer() = 0;
    // Shows the printer dialog on printer(). True when the user accepted.
    virtual bool printerDialog() = 0;
};

class QtPrinting final : public Printing {
public:
    explicit QtPrinting(QWidget* parent = nullptr);
    ~QtPrinting() override;
    QtPrinting(const QtPrinting&) = delete;
    QtPrinting& operator=(const QtPrinting&) = delete;

    void setParent(QWidget* parent) { m_parent = parent; }
    QPrinter& printer() override;
    bool printerDialog() override;

private:
    QWidget* m_parent;
    // Created at first use: building a QPrinter asks the print system for its
    // default printer, which start-up need not wait for.
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace velmar::platform
