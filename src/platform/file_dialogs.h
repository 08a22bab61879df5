#pragma once

#include <QString>

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

class QtFileDialogs final : public FileDialogs {
public:
    explicit QtFileDialogs(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    QString openFileName(const QString& filter) override;
    QString saveFileName(const QString& filter, const QString& defaultSuffix) override;

private:
    QWidget* m_parent;
};

// The program's filter in Qt's notation: "ﾃｷｽﾄ (*.txt *.log);;全て (*)". The
// description's own parenthesised pattern list is replaced by the pattern field,
// and "*.*" becomes "*", since on Linux a name without a dot is a file too.
QString qtFileFilter(const QString& filter);

} // namespace velmar::platform
