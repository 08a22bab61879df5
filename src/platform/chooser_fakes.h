#pragma once

#include "platform/choosers.h"

#include <QList>

namespace velmar::platform {

// Each dialog returns the next scripted answer (nothing is a cancel), or a cancel
// when the script is used up. What the dialogs were opened with is recorded.
class ScriptedChoosers final : public Choosers {
public:
    std::optional<QColor> chooseColour(const QColor& initial) override
    {
        colourInitials << initial;
        return colourAnswers.isEmpty() ? std::nullopt : colourAnswers.takeFirst();
    }
    std::optional<FontChoice> chooseFont(const FontChoice& initial) override
    {
        fontInitials << initial;
        return fontAnswers.isEmpty() ? std::nullopt : fontAnswers.takeFirst();
    }

    QList<std::optional<QColor>> colourAnswers;
    QList<std::optional<FontChoice>> fontAnswers;
    QList<QColor> colourInitials;
    QList<FontChoice> fontInitials;
};

} // namespace velmar::platform
