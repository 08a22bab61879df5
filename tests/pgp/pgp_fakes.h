#pragma once

// A main window and components for driving the PGP commands without widgets.

#include "components/registry.h"
#include "convert/pgp_commands.h"
#include "platform/fakes.h"

#include <optional>

namespace velmar::testing {

// A kanji filter whose 7-bit form is UTF-8 with every non-ASCII byte percent-encoded:
// reversible and ASCII only, which is all the PGP commands rely on.
class FakeKanjiPipe final : public components::KanjiPipe {
public:
    QByteArray sjis2jis(QByteArray& bytes, QByteArray&, QByteArray&, const QString&) override
    {
        return bytes;
    }
    QByteArray FromSJIS(QString& text, const QString&) override
    {
        // Like ISO-2022-JP, ASCII stays as it is.
        return text.toUtf8().toPercentEncoding(" !\"#$&'()*+,/:;<=>?@[\\]^`{|}\r\n\t");
    }
    QString toSJIS(QByteArray& bytes) override
    {
        return QString::fromUtf8(QByteArray::fromPercentEncoding(bytes));
    }
};

class FakePgpHost final : public convert::PgpHost {
public:
    FakePgpHost()
    {
        available.add(components::KanjiPipe::ProgId.toString(),
                      [] { return std::make_unique<FakeKanjiPipe>(); });
    }

    const components::ComponentRegistry& registry() const override { return available; }
    platform::MessageBoxes& messageBoxes() override { return boxes; }
    convert::PgpOptions pgpOptions() const override { return options; }
    std::unique_ptr<convert::PgpDocument> activeDocument() override
    {
        if (!window)
            return nullptr;
        return std::make_unique<Document>(*window, windowOpen);
    }
    void whenPgpKnown(std::function<void()> next) override { next(); }
    // A stand-in filter, as the main window's conversion is tested with the main window.
    QString kanjiConvert(const QString& text, bool toJis) override
    {
        std::unique_ptr<components::KanjiPipe> pipe;
        if (!components::CreateComponent(available, pipe, components::KanjiPipe::ProgId)) {
            boxes.show(QStringLiteral("エラー"), QStringLiteral("KanjiPipe が必要"));
            return {};
        }
        QString source = text;
        QByteArray bytes = text.toLatin1();
        return toJis ? QString::fromLatin1(pipe->FromSJIS(source, QStringLiteral("j")))
                     : pipe->toSJIS(bytes);
    }
    // Runs the operation at once, on this thread; `beforeDone` lets a test act while
    // the result is on its way.
    void runOperation(convert::PgpOperation operation) override
    {
        ++operations;
        operation.work();
        if (beforeDone)
            beforeDone();
        operation.done();
    }
    std::unique_ptr<convert::PgpDocument> newDocument() override
    {
        newWindow = QString();
        return std::make_unique<Document>(*newWindow, newWindowOpen);
    }
    void sendMessage(convert::PgpDocument*) override { ++sends; }
    void addReplyMarks(convert::PgpDocument&) override { ++replies; }
    void disablePgpItems() override { ++disabled; }

    QStringList boxTexts() const
    {
        QStringList texts;
        for (const auto& box : boxes.boxes)
            texts.append(box.text);
        return texts;
    }

    components::ComponentRegistry available;
    platform::RecordingMessageBoxes boxes;
    convert::PgpOptions options;
    std::optional<QString> window; // the active window's text; nullopt: no window
    bool windowOpen = true;
    const bool newWindowOpen = true;
    std::optional<QString> newWindow; // a window opened for a result
    std::function<void()> beforeDone;
    int operations = 0;
    int sends = 0;
    int replies = 0;
    int disabled = 0;

private:
    class Document final : public convert::PgpDocument {
    public:
        Document(QString& text, const bool& open) : m_text(text), m_open(open) {}
        bool exists() const override { return m_open; }
        QString text() const override { return m_text; }
        void setText(const QString& text) override { m_text = text; }
        void setBusy(bool) override {}

    private:
        QString& m_text;
        const bool& m_open;
    };
};

} // namespace velmar::testing
