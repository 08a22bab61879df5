#pragma once

#include <QString>

namespace velmar::text {

class Host;

// The clipboard commands of the main window. They act on the active text window
// through its text operations and read or write the system clipboard at the moment
// they run; the program keeps no copy of the clipboard.
enum class ReplyCopy { ToClipboard, MarkOnly };

class ClipboardCommands final {
public:
    explicit ClipboardCommands(Host& host);

    // Shows the clipboard in the active window (a new one when none is active).
    void viewClipboard();
    // A new window holding the clipboard.
    void newClipboardWindow();
    void copyAll();
    void copySelection();
    // Copies the whole text, then hides the program to the notification area.
    void copyAllAndHide();
    void paste();
    void clearText();
    void trimBlanks();
    void copyText(const QString& s);
    void selectAll();
    // Puts the reply mark before every line of the selection (or the whole text), makes
    // that the window's text and colours it, and copies it unless told to only mark.
    void copyWithReplyMarks(ReplyCopy copy);

private:
    Host& m_host;
};

} // namespace velmar::text
