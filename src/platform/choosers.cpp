#include "platform/choosers.h"

#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmar::platform {

std::optional<QColor> QtChoosers::chooseColour(const QColor& initial)
{
    const QColor colour = QColorDialog::getColor(initial, m_parent, QStringLiteral("色の設定"));
    if (!colour.isValid())
        return std::nullopt;
    return colour;
}

std::optional<FontChoice> QtChoosers::chooseFont(const FontChoice& initial)
{
    // Qt's font dialog has no text colour, so it is embedded in a dialog that adds one.
    QDialog dialog(m_parent);
    dialog.setWindowTitle(QStringLiteral("フォント"));
    auto* layout = new QVBoxLayout(&dialog);

    auto* fonts = new QFontDialog(&dialog);
    fonts->setOptions(QFontDialog::NoButtons | QFontDialog::ScalableFonts |
                      QFontDialog::NonScalableFonts);
    fonts->setWindowFlags(Qt::Widget);
    QFont font(initial.family);
    font.setPointSizeF(initial.pointSize > 0 ? initial.pointSize : 11.5);
    font.setBold(initial.bold);
    font.setItalic(initial.italic);
    font.setStrikeOut(initial.strikeOut);
    font.setUnderline(initial.underline);
    fonts->setCurrentFont(font);
    layout->addWidget(fonts);

    QColor colour = initial.colour.isValid() ? initial.colour : QColor(Qt::black);
    auto* colourRow = new QHBoxLayout;
    auto* colourButton = new QPushButton(QStringLiteral("文字色(&C)..."), &dialog);
    auto* sample = new QLabel(&dialog);
    sample->setMinimumWidth(48);
    sample->setAutoFillBackground(true);
    const auto showColour = [&] {
        QPalette palette = sample->palette();
        palette.setColor(QPalette::Window, colour);
        sample->setPalette(palette);
    };
    showColour();
    QObject::connect(colourButton, &QPushButton::clicked, &dialog, [&] {
        const QColor chosen = QColorDialog::getColor(colour, &dialog, QStringLiteral("文字色"));
        if (chosen.isValid()) {
            colour = chosen;
            showColour();
        }
    });
    colourRow->addWidget(colourButton);
    colourRow->addWidget(sample);
    colourRow->addStretch();
    layout->addLayout(colourRow);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QFont chosen = fonts->currentFont();
    FontChoice out;
    out.family = chosen.family();
    out.pointSize = chosen.pointSizeF();
    out.bold = chosen.bold();
    out.italic = chosen.italic();
    out.strikeOut = chosen.strikeOut();
    out.underline = chosen.underline();
    out.colour = colour;
    return out;
}

} // namespace velmar::platform
