#pragma once

#include "text/file_codec.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;

namespace velmar::text {

class Host;
class TextArea;

// The text window: one text in a text area with coloured lines, and the bookkeeping of
// a received message when it was opened for one. Other parts of the program read and
// change the text only through setText, text, selectedText,
// replaceSelectedText and appendText.
//
// Normal mode: the text area holds the text exactly and the user edits it. Raw mode
// (text area read-only): the text area cannot hold the text, shows an approximation
// that can be scrolled and selected, and the exact text (and bytes) are kept apart.
//
// A sealed message is out of reach until it is opened: the area takes no focus and
// no input, the text operations see an empty window and leave the text alone.
class TextWindow final : public QWidget {
    Q_OBJECT
public:
    // Sizes in pixels (15 twips per pixel): the smallest window is 1920 x 1425 twips
    // and the text area sits 120 twips inside the client area.
    static constexpr int MinimumWidth = 128;
    static constexpr int MinimumHeight = 95;
    static constexpr int AreaInset = 8;

    explicit TextWindow(Host& host, QWidget* parent = nullptr);
    ~TextWindow() override;

    QString fileName;
    // Which window the main window last activated. A window that was active when a
    // message window opened in the background keeps a mark of its own.
    enum class ActivationMark { Inactive, Active, ActiveBeforeBackgroundOpen };
    ActivationMark activationMark = ActivationMark::Inactive;
    QString packetNumber;
    qint32 replyPort = 0;
    bool noticeOwed = false;
    // Further sealed messages collected behind this window's seal that ask for a notice
    // too, each with its sender: opening or discarding the window answers them all.
    struct OwedNotice {
        QString address;
        qint32 port = 0;
        QString packetNumber;
    };
    QList<OwedNotice> collectedNotices;
    // Sending: this window's text is being sent and shows "IPM(送信済)" when done.
    enum class SendState { Idle, Sending };
    SendState sendState = SendState::Idle;
    QString replyAddress;

    QString caption() const;
    void setCaption(const QString& caption);

    // Replaces the whole text; in normal mode the user can undo it as one step.
    void setText(const QString& iStr);
    QString text() const;
    QString selectedText() const;
    void replaceSelectedText(const QString& iStr);
    void appendText(const QString& iStr);
    // Appends a further received message: behind the seal too (the text stays covered
    // until the window is opened), and into the exact text in raw mode.
    void appendMessage(const QString& iStr);

    // Bytes that are no valid text (an odd length, binary): raw mode with the exact
    // bytes kept, an odd trailing byte included. The text is their UTF-16LE reading.
    void setRawBytes(const QByteArray& bytes);
    // Raw mode: the exact bytes given (UTF-16LE of the text plus any odd byte).
    // Normal mode: the UTF-16LE bytes of the current text.
    QByteArray rawBytes() const;
    bool isRawMode() const { return m_rawMode; }
    // True while the window holds bytes given to setRawBytes (no text of any
    // encoding): only those are saved back exactly rather than as text.
    bool holdsUndecodedBytes() const { return m_undecodedBytes; }

    // The file (fileName) was read from `bytes` as `encoding`; `readings` are the
    // encodings its bytes are valid text in. With more than one, the status bar offers
    // them (文字コード) and choosing one reads the bytes again in it.
    void setFileReadings(const QByteArray& bytes, TextEncoding encoding,
                         const QList<TextEncoding>& readings);
    // The encoding the window's text was read from `path` in, if it was.
    std::optional<TextEncoding> fileEncoding(const QString& path) const;
    // The encodings the file is valid text in (empty when only one).
    const QList<TextEncoding>& fileReadings() const { return m_fileReadings; }

    // Font and background from the settings.
    void applyFont();
    // Colours every line by its reply mark (display only). The colours then follow
    // every change of the text until the next call takes the rules anew.
    void applyReplyColours();
    // The mark-to-colour table built from "ResColor": entries "mark colour".
    QStringList colourTable() const;

    QString statusText() const;
    void setStatusText(const QString& text);
    void setTextBackground(const QColor& colour);

    // Covers the text with the "封書" button; a locked message also gets the password box.
    void showSeal(bool withPassword);
    bool isSealed() const { return m_sealed; }
    void openSeal();

    // This window's share of an activation: IME, font and colours from the settings.
    void activate();

    TextArea* textArea() const { return m_area; }

Q_SIGNALS:
    // The sealed message was opened, or its window closed with the seal on.
    void sealOpened();
    void sealDiscarded();

public:
    QStatusBar* statusBar = nullptr;
    QPushButton* sealButton = nullptr;
    QLineEdit* passwordEdit = nullptr;
    // Shown in raw mode: that the text is read-only, and why.
    QLabel* readOnlyNote = nullptr;
    QComboBox* encodingChoice = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void sealButtonClicked();
    // True when this window is the main window's current text window.
    bool isCurrentWindow() const;
    void layoutControls();
    // The read (0x30) or discard (0x31) notice, at most once per message.
    void sendNotice(quint32 command);
    void setRawMode(bool raw);
    void rereadFile(int index);
    void openDroppedFiles(const QStringList& paths);

    Host& m_host;
    TextArea* m_area = nullptr;
    QLabel* m_statusLabel = nullptr;
    QString m_rawText;
    // The odd trailing byte of bytes given to setRawBytes, kept beside m_rawText.
    QByteArray m_rawTail;
    bool m_undecodedBytes = false;
    bool m_sealed = false;
    bool m_rawMode = false;
    // Set by an activation until the event that caused it has been handled.
    bool m_activatedJustNow = false;
    QByteArray m_fileBytes;
    QString m_readFileName;
    std::optional<TextEncoding> m_fileEncoding;
    QList<TextEncoding> m_fileReadings;
};

} // namespace velmar::text
