#include <gtest/gtest.h>

#include "model/theme.h"
#include "model/theme_manager.h"

namespace zarvex {
namespace {

TEST(Themes, LookupFallsBackToStudioTheStageGridAndTheManagerStoresWhatIsApplied) {
    ASSERT_EQ(Theme::all().size(), 2u);
    EXPECT_EQ(Theme::named("rewind").name, "Rewind");
    EXPECT_EQ(Theme::named("studio").name, "Studio");
    for (const char* unknown : {"Rewind", "", "neon"}) {
        EXPECT_EQ(Theme::named(unknown).id, "studio") << unknown;
    }
    // The stage grid's lines.
    EXPECT_EQ(stageGridLines(100), (std::vector<double>{0, 24, 48, 72, 96}));
    EXPECT_EQ(stageGridLines(48), (std::vector<double>{0, 24, 48}));
    EXPECT_EQ(stageGridLines(0), (std::vector<double>{0}));
    EXPECT_TRUE(stageGridLines(-1).empty());

    // The manager follows the stored identifier and stores what is applied.
    MemoryKeyValueStore store;
    Preferences preferences(store);
    preferences.setThemeID("Rewind");
    EXPECT_EQ(ThemeManager(preferences).current().id, "studio");
    EXPECT_EQ(preferences.themeID(), "Rewind");  // not rewritten

    ThemeManager manager(preferences);
    int changes = 0;
    QObject::connect(&manager, &ThemeManager::currentChanged, [&] { ++changes; });
    manager.apply("rewind");
    EXPECT_EQ(manager.current().id, "rewind");
    EXPECT_EQ(preferences.themeID(), "rewind");
    EXPECT_EQ(ThemeManager(preferences).current().id, "rewind");
    manager.apply("rewind");
    EXPECT_EQ(changes, 1);
    manager.apply("unknown");
    EXPECT_EQ(manager.current().id, "studio");
    EXPECT_EQ(preferences.themeID(), "unknown");
    EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace zarvex
