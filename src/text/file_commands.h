#pragma once

#include <QString>

namespace velmar::platform {
class FileDialogs;
class Printing;
} // namespace velmar::platform

namespace velmar::text {

class TextWindow;
class Host;

// The main window's file and print commands. They act on the active text window;
// with none active they do nothing. Saving never overwrites: it appends to the end
// of the window's file. Every failure ends in a box that says what happened, and a
// refused or failed save leaves the file as it was.
class FileCommands final {
public:
    // Larger files are refused with a box: the text area and the decoded copy of
    // the bytes would take several times this much memory.
    static constexpr qint64 MaxOpenBytes = qint64(128) * 1024 * 1024;

    // The filter of the open and save dialogs.
    static QString textFileFilter();

    FileCommands(Host& host, platform::FileDialogs& dialogs, platform::Printing& printing);

    // 開く: choose a file and open it into a new window.
    void open();
    // The open dialog with `filter`; the chosen path, empty on cancel.
    QString chooseFileToOpen(const QString& filter);
    // Opens `path` into a new foreground window. An empty name or one that is not an
    // existing file (a drop of a folder, say) is ignored.
    void openFile(const QString& path);
    // The save dialog; stores the chosen path, or empty on cancel, in the active
    // window's fileName.
    void chooseSaveName();
    // 名前を付けて保存: choose a name, then append to it. Cancelling keeps fileName.
    void saveAs();
    // 追加保存: append to the window's file, asking for a name when it has none.
    void appendSave();
    // Appends the active window's text to its file (fileName).
    void appendActiveToFile();
    // 印刷: prints the active window's text on the current printer.
    void print();
    // プリンタの設定: the printer dialog.
    void setUpPrinter();

private:
    // appendActiveToFile's work; false when nothing was written.
    bool saveMain();
    void loadIntoNewWindow(const QString& path);
    void showError(const QString& text);

    Host& m_host;
    platform::FileDialogs& m_dialogs;
    platform::Printing& m_printing;
};

} // namespace velmar::text
