#include "common/list_helpers.h"
#include "components/registry.h"

#include <QLibrary>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace velmar::components;

namespace {

TEST(ComponentRegistry, CreatesBuiltinsByProgIdAndFailsForMissingOnes)
{
    const ComponentRegistry registry = ComponentRegistry::withBuiltins();
    std::unique_ptr<Textgauge> gauge;
    EXPECT_TRUE(CreateComponent(registry, gauge, Textgauge::ProgId));
    ASSERT_TRUE(gauge);

    std::unique_ptr<Radixer> radixer;
    EXPECT_FALSE(ComponentExists(registry, u"No.Such.Component"));
    // Asking for the wrong interface under an existing ProgID fails cleanly too.
    EXPECT_FALSE(CreateComponent(registry, radixer, Textgauge::ProgId));
    EXPECT_FALSE(radixer);
}

TEST(ComponentRegistry, FactoryFailuresAreSwallowed)
{
    ComponentRegistry registry;
    registry.add(QStringLiteral("Throws"), []() -> std::unique_ptr<Component> {
        throw std::runtime_error("backend missing");
    });
    registry.add(QStringLiteral("Null"), [] { return std::unique_ptr<Component>(); });
    EXPECT_FALSE(ComponentExists(registry, u"Throws"));
    EXPECT_FALSE(ComponentExists(registry, u"Null"));
}

// The sound component lives in a module of its own, which the program does not link:
// the module offers its entry point, and asking for the component twice gives the
// same answer (a component where an audio output exists, none elsewhere).
TEST(ComponentRegistry, SoundComponentComesFromItsModule)
{
    QLibrary module(QStringLiteral(VELMAR_SOUND_MODULE));
    EXPECT_NE(module.resolve("velmar_create_chimer"), nullptr)
        << module.errorString().toStdString();
    const ComponentRegistry registry = ComponentRegistry::withBuiltins();
    EXPECT_EQ(ComponentExists(registry, Chimer::ProgId), ComponentExists(registry, Chimer::ProgId));
}

TEST(CommonModule, ListHelpersAndHexBits)
{
    QStringList list{QStringLiteral("2425:10.0.0.1"), QStringLiteral("Abc")};
    EXPECT_EQ(velmar::findListItem(list, QStringLiteral("abc"), true), -1);
    EXPECT_EQ(velmar::findListItem(list, QStringLiteral("abc"), false), 1);
    EXPECT_EQ(velmar::findListItem({}, QStringLiteral("x"), true), -1);
    EXPECT_TRUE(velmar::addListItemUnique(list, QStringLiteral("Abc"), true));
    EXPECT_FALSE(velmar::addListItemUnique(list, QStringLiteral("abc"), true));
    EXPECT_EQ(list.size(), 3);

    // 1049376 = 0x100320: option field 001003 has options 1, 2 and 13.
    const QString options = QStringLiteral("001003");
    for (int n = 1; n <= 24; ++n)
        EXPECT_EQ(velmar::hexBitIsSet(options, n), n == 1 || n == 2 || n == 13) << n;
    EXPECT_FALSE(velmar::hexBitIsSet(QStringLiteral("zz"), 1));
}

} // namespace
