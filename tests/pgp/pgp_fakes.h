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
        return std::make_unique<Document>(*window);
    }
    void sendMessage() override { ++sends; }
    void addReplyMarks() override { ++replies; }
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
    int sends = 0;
    int replies = 0;
    int disabled = 0;

private:
    class Document final : public convert::PgpDocument {
    public:
        explicit Document(QString& text) : m_text(text) {}
        QString text() const override { return m_text; }
        void setText(const QString& text) override { m_text = text; }

    private:
        QString& m_text;
    };
};

} // namespace velmar::testing
