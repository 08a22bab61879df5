#include "text/file_commands.h"

#include "common/text_bytes.h"
#include "platform/file_dialogs.h"
#include "platform/message_boxes.h"
#include "platform/printing.h"
#include "text/file_codec.h"
#include "text/host.h"
#include "text/text_area.h"
#include "text/text_printer.h"
#include "text/text_window.h"

#include <QFileInfo>
#include <QPrinter>

namespace velmar::text {

namespace {

const QString kErrorTitle = QStringLiteral("エラー");

QString reason(const QString& systemError)
{
    return QStringLiteral("\r\n（%1）").arg(systemError);
}

// A window in raw mode may hold a single odd byte and no text unit at all; it
// still has something to save.
bool hasNothingToSave(const TextWindow& window)
{
    return window.isRawMode() ? window.rawBytes().isEmpty() : window.text().isEmpty();
}

QString unfitMessage(const QString& path, TextEncoding encoding, const QStringList& unfit)
{
    constexpr qsizetype kListed = 10;
    QStringList shown;
    for (qsizetype i = 0; i < unfit.size() && i < kListed; ++i)
        shown << describeCharacter(unfit.at(i));
    QString list = shown.join(QStringLiteral("、"));
    if (unfit.size() > kListed)
        list += QStringLiteral(" ほか");
    return path + QStringLiteral("\r\nこのファイルの文字コード（%1）で表せない文字があるため、"
                                 "保存しませんでした。\r\n表せない文字: %2")
                      .arg(encodingName(encoding), list);
}

// The window's font in points: a pixel size would shrink to nothing on a printer
// with many dots per inch.
QFont printFont(const TextWindow& window)
{
    QFont font = window.textArea() ? window.textArea()->font() : window.font();
    if (font.pointSizeF() <= 0 && font.pixelSize() > 0)
        font.setPointSizeF(font.pixelSize() * 72.0 / 96.0);
    return font;
}

} // namespace

QString FileCommands::textFileFilter()
{
    return QStringLiteral("ﾃｷｽﾄ(*.txt;*.log)|*.txt;*.log|全て(*.*)|*.*");
}

FileCommands::FileCommands(Host& host, platform::FileDialogs& dialogs, platform::Printing& printing)
    : m_host(host), m_dialogs(dialogs), m_printing(printing)
{
}

void FileCommands::showError(const QString& text)
{
    m_host.messageBoxes().show(kErrorTitle, text);
}

void FileCommands::open()
{
    const QString path = chooseFileToOpen(textFileFilter());
    if (path.isEmpty())
        return;
    // The user chose this file a moment ago; if it is gone now, say so rather than
    // doing nothing as for a dropped name.
    if (!QFileInfo(path).isFile()) {
        showError(path + QStringLiteral("\r\nファイルが見つかりません。"));
        return;
    }
    loadIntoNewWindow(path);
}

QString FileCommands::chooseFileToOpen(const QString& filter)
{
    return m_dialogs.openFileName(filter);
}

void FileCommands::openFile(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    loadIntoNewWindow(path);
}

void FileCommands::loadIntoNewWindow(const QString& path)
{
    // Read before creating the window, so a file that cannot be read leaves no
    // empty window behind.
    const ReadResult read = readWholeFile(path, MaxOpenBytes);
    switch (read.status) {
    case ReadResult::Status::Ok:
        break;
    case ReadResult::Status::Missing:
        showError(path + QStringLiteral("\r\nファイルが見つかりません。"));
        return;
    case ReadResult::Status::TooLarge:
        showError(path + QStringLiteral("\r\nファイルが大きすぎるため開けません（%1 MB まで）。")
                             .arg(MaxOpenBytes / (1024 * 1024)));
        return;
    case ReadResult::Status::Failed:
        showError(path + QStringLiteral("\r\nファイルを読み込めませんでした。") +
                  reason(read.error));
        return;
    }

    const DecodedFile decoded = decodeFileBytes(read.bytes);
    m_host.openTextWindow(WindowPlacement::Foreground);
    TextWindow* window = m_host.activeWindow();
    if (!window)
        return;
    if (decoded.isText)
        window->setText(decoded.text);
    else
        window->setRawBytes(read.bytes);
    window->fileName = path;
    if (decoded.isText)
        window->setFileReadings(read.bytes, decoded.encoding, decoded.readings);
    window->setCaption(path);
    // The window was coloured when it became active, before it had this text.
    window->applyReplyColours();
}

void FileCommands::chooseSaveName()
{
    TextWindow* window = m_host.activeWindow();
    if (!window)
        return;
    window->fileName = m_dialogs.saveFileName(textFileFilter(), QStringLiteral("txt"));
}

void FileCommands::saveAs()
{
    TextWindow* window = m_host.activeWindow();
    if (!window)
        return;
    const QString old = window->fileName;
    if (hasNothingToSave(*window))
        return;
    chooseSaveName();
    // A cancelled dialog, or a name nothing could be written to, leaves the window
    // with the file it had.
    if (window->fileName.isEmpty() || !saveMain())
        window->fileName = old;
}

void FileCommands::appendSave()
{
    TextWindow* window = m_host.activeWindow();
    if (!window || hasNothingToSave(*window))
        return;
    const QString old = window->fileName;
    if (window->fileName.isEmpty()) {
        chooseSaveName();
        if (window->fileName.isEmpty())
            return;
    }
    if (!saveMain())
        window->fileName = old;
}

void FileCommands::appendActiveToFile()
{
    saveMain();
}

bool FileCommands::saveMain()
{
    TextWindow* window = m_host.activeWindow();
    if (!window || window->fileName.isEmpty())
        return false;
    const QString path = window->fileName;
    const QFileInfo info(path);
    const bool existed = info.exists();

    QByteArray bytes;
    bool choseUtf8 = false;
    if (window->holdsUndecodedBytes()) {
        // Bytes that were never text go out exactly as they came in.
        bytes = window->rawBytes();
    } else {
        FileFormat format;
        // Only a regular file is read for its format: a device or a pipe would
        // block or never end.
        if (info.isFile()) {
            const FileSniff sniffed = sniffExistingFile(path);
            switch (sniffed.status) {
            case FileSniff::Status::Ok:
                format = sniffed.format;
                // Bytes valid in several encodings: the one the user read the file in.
                if (const auto read = window->fileEncoding(path);
                    read && format.encoding && window->fileReadings().contains(*read) &&
                    window->fileReadings().contains(*format.encoding))
                    format.encoding = read;
                break;
            case FileSniff::Status::Failed:
                showError(path +
                          QStringLiteral("\r\nファイルを読み込めないため、保存しませんでした。") +
                          reason(sniffed.error));
                return false;
            case FileSniff::Status::Undecidable:
                showError(path +
                          QStringLiteral("\r\nこのファイルの文字コードを判別できないため、"
                                         "保存しませんでした。\r\nファイルは変更していません。"));
                return false;
            }
        }
        AppendBytes plan = bytesToAppend(window->text(), format);
        if (!plan.unfit.isEmpty()) {
            showError(unfitMessage(path, plan.encoding, plan.unfit));
            return false;
        }
        choseUtf8 = !format.encoding && plan.encoding == TextEncoding::Utf8;
        bytes = std::move(plan.bytes);
    }

    const WriteResult written = appendToFile(path, bytes);
    if (!written.ok) {
        showError(path + QStringLiteral("\r\nに保存できませんでした。") + reason(written.error));
        return false;
    }
    window->fileName = path;
    window->setCaption(path);
    const QString note = existed ? QStringLiteral("追加") : QString();
    QString saved = path + QStringLiteral("\r\nに") + note + QStringLiteral("保存しました");
    if (choseUtf8)
        saved += QStringLiteral("\r\n（Shift_JIS で表せない文字があるため UTF-8 で保存しました）");
    m_host.messageBoxes().show(QStringLiteral("情報"), saved);
    return true;
}

void FileCommands::print()
{
    TextWindow* window = m_host.activeWindow();
    if (!window)
        return;
    const QString text = window->text();
    if (text.isEmpty()) {
        m_host.messageBoxes().show(QStringLiteral("紙の無駄使い反対! ;-P"),
                                   QStringLiteral("印刷するデータが空でしょ!"));
        return;
    }
    const TextPrinter printer(printFont(*window));
    if (!printer.print(text, m_printing.printer()).ok) {
        showError(QStringLiteral("印刷できませんでした。\r\nプリンタの設定を確かめてください。"));
        return;
    }
    m_host.messageBoxes().show(QStringLiteral("確認"), QStringLiteral("印刷完了"));
}

void FileCommands::setUpPrinter()
{
    m_printing.printerDialog();
}

} // namespace velmar::text
