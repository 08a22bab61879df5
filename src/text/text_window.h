#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;

namespace velmar::text {

class Host;
class TextArea;

// The text window: one text in a text area with coloured lines, and the bookkeeping of
// a received message when it was opened for one. Other parts of the program read and
// change the text only through SetTextData, GetTextData, GetSelTextData,
// SetSelTextData and AddTextData.
//
// Normal mode: the text area holds the text exactly and the user edits it. Raw mode
// (text area disabled): the text area cannot hold the text, shows an approximation,
// and the exact text (and bytes) are kept apart.
class Form1 final : public QWidget {
    Q_OBJECT
public:
    // Sizes in pixels (15 twips per pixel): the smallest window is 1920 x 1425 twips
    // and the text area sits 120 twips inside the client area.
    static constexpr int MinimumWidth = 128;
    static constexpr int MinimumHeight = 95;
    static constexpr int AreaInset = 8;

    explicit Form1(Host& host, QWidget* parent = nullptr);
    ~Form1() override;

    QString f_name;
    qint16 flag = 0;
    QString pktNo;
    qint32 PortNo = 0;
    bool IPMSG_ReadCheckSend = false;
    qint16 IPMs = 0;
    QString Tag;

    QString caption() const;
    void setCaption(const QString& caption);

    void SetTextData(const QString& iStr);
    QString GetTextData() const;
    QString GetSelTextData() const;
    void SetSelTextData(const QString& iStr);
    void AddTextData(const QString& iStr);

    // Bytes that are no valid text (an odd length, binary): raw mode with the exact
    // bytes kept, an odd trailing byte included. The text is their UTF-16LE reading.
    void SetRawBytes(const QByteArray& bytes);
    // Raw mode: the exact bytes given (UTF-16LE of the text plus any odd byte).
    // Normal mode: the UTF-16LE bytes of the current text.
    QByteArray RawBytes() const;
    bool isRawMode() const;

    // Font and background from the settings.
    void font_chg();
    // Colours every line by its reply mark (display only).
    void color_chg();
    // The mark-to-colour table built from "ResColor": entries "mark colour".
    QStringList form2list3_format() const;

    QString statusText() const;
    void setStatusText(const QString& text);
    void setTextBackground(const QColor& colour);

    // Covers the text with the "封書" button; a locked message also gets the password box.
    void showSeal(bool withPassword);
    bool isSealed() const { return m_sealed; }
    void open_seal();

    // This window's share of an activation: IME, font and colours from the settings.
    void activate();

    TextArea* v_windows() const { return m_area; }
    QStatusBar* StatusBar1 = nullptr;
    QPushButton* Command1 = nullptr;
    QLineEdit* Text1 = nullptr;

protected:
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;

private:
    void Command1_Click();
    void layoutControls();
    // The read (0x30) or discard (0x31) notice, at most once per message.
    void sendNotice(quint32 command);

    Host& m_host;
    TextArea* m_area = nullptr;
    QLabel* m_statusLabel = nullptr;
    QString m_rawText;
    // The odd trailing byte of bytes given to SetRawBytes, kept beside m_rawText.
    QByteArray m_rawTail;
    bool m_sealed = false;
};

} // namespace velmar::text
