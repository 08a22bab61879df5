#pragma once

#include <QString>
#include <functional>

class QFileDialog;
class QWidget;

namespace velmar::platform {

// The platform's open-file and save-file dialogs. Filters use the program's own
// notation, pairs of description and patterns separated by "|"
// ("ﾃｷｽﾄ(*.txt;*.log)|*.txt;*.log|全て(*.*)|*.*").
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // Accepts only an existing file. Empty on cancel.
    virtual QString openFileName(const QString& filter) = 0;
    // Asks no overwrite question (saving appends). `defaultSuffix` ("txt") is added
    // to a name typed without one. Empty on cancel.
    virtual QString saveFileName(const QString& filter, const QString& defaultSuffix) = 0;
};

// The folder the dialogs last worked in, kept by their owner (in the settings).
struct FolderMemory {
    std::function<QString()> load;
    std::function<void(const QString&)> save;
};

class QtFileDialogs final : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    // Both dialogs start in the remembered folder and remember the folder of the file
    // chosen; without a memory they start in the home folder.
    void setFolderMemory(FolderMemory memory) { m_memory = std::move(memory); }
    QString openFileName(const QString& filter) override;
    QString saveFileName(const QString& filter, const QString& defaultSuffix) override;

private:
    QString chosen(QFileDialog& dialog);

    QWidget* m_parent;
    FolderMemory m_memory;
};

// Where a dialog starts: `remembered` while it is an existing folder given as an
// absolute path, else the home folder (not the folder the program was started from).
QString startFolder(const QString& remembered);

// The program's filter in Qt's notation: "ﾃｷｽﾄ (*.txt *.log);;全て (*)". The
// description's own parenthesised pattern list is replaced by the pattern field,
// and "*.*" becomes "*", since on Linux a name without a dot is a file too.
QString qtFileFilter(const QString& filter);

} // namespace velmar::platform
