#include "app/translations.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

using velmar::app::installQtTranslations;

// What a Japanese user saw in English: the text area's context menu and the buttons
// of the standard dialogs.
struct Sample {
    const char* context;
    const char* source;
};
constexpr Sample samples[] = {
    {"QWidgetTextControl", "Select All"},
    {"QWidgetTextControl", "&Undo"},
    {"QFileDialog", "File &name:"},
    {"QColorDialog", "Select Color"},
    {"QPrintDialog", "Print"},
};

TEST(QtTranslations, AJapaneseLocaleGetsQtsOwnTextsInJapanese)
{
    QTranslator* translator = installQtTranslations(*QCoreApplication::instance(),
                                                    QLocale(QLocale::Japanese, QLocale::Japan));
    ASSERT_NE(translator, nullptr);
    for (const Sample& s : samples) {
        const QString text = QCoreApplication::translate(s.context, s.source);
        EXPECT_NE(text, QString::fromUtf8(s.source)) << s.context << " " << s.source;
        EXPECT_TRUE(std::any_of(text.begin(), text.end(), [](QChar c) {
            return c.unicode() >= 0x3000;
        })) << text.toStdString();
    }
    QCoreApplication::removeTranslator(translator);
    delete translator;
    EXPECT_EQ(QCoreApplication::translate("QWidgetTextControl", "Select All"),
              QStringLiteral("Select All"));
}

TEST(QtTranslations, WithoutACatalogueForTheLocaleQtStaysInEnglish)
{
    QTemporaryDir empty;
    EXPECT_EQ(installQtTranslations(*QCoreApplication::instance(), QLocale(QLocale::Japanese),
                                    empty.path()),
              nullptr);
    EXPECT_EQ(installQtTranslations(*QCoreApplication::instance(), QLocale(QLocale::Swahili)),
              nullptr);
    EXPECT_EQ(QCoreApplication::translate("QWidgetTextControl", "Select All"),
              QStringLiteral("Select All"));
}

} // namespace
