#include <gtest/gtest.h>

#include "app/theme.h"
#include "app/theme_manager.h"

namespace zarvex {
namespace {

TEST(Themes, BuiltInListAndLookup) {
    ASSERT_EQ(Theme::all().size(), 2u);
    EXPECT_EQ(Theme::all()[0].id, "studio");
    EXPECT_EQ(Theme::all()[1].id, "rewind");
    EXPECT_EQ(Theme::named("rewind").name, "Rewind");
    EXPECT_EQ(Theme::named("studio").name, "Studio");
    EXPECT_EQ(Theme::named("Rewind").id, "studio");  // ids are case-sensitive
    EXPECT_EQ(Theme::named("").id, "studio");
    EXPECT_EQ(Theme::named("neon").id, "studio");
}

TEST(Themes, RecordValues) {
    const Theme& studio = Theme::studio();
    EXPECT_TRUE(studio.accent.systemAccent);
    EXPECT_FALSE(studio.isRetro);
    EXPECT_EQ(studio.backdrop.size(), 3u);
    EXPECT_EQ(studio.backdrop[0], Color::rgb255(22, 34, 44));
    EXPECT_EQ(studio.panelTint, (Color{1, 1, 1, 0.04}));
    EXPECT_FALSE(studio.panelColor);
    EXPECT_FALSE(studio.outline);
    EXPECT_EQ(studio.controlRadius, 6);
    EXPECT_EQ(studio.headerStyle, HeaderStyle::plain);
    EXPECT_TRUE(studio.titleBarColors.empty());

    const Theme& rewind = Theme::rewind();
    EXPECT_EQ(rewind.fontDesign, FontDesign::rounded);
    EXPECT_EQ(rewind.accent, (ThemeAccent{false, Color::rgb255(244, 85, 63)}));
    EXPECT_TRUE(rewind.isRetro);
    EXPECT_TRUE(rewind.stageGrid);
    EXPECT_EQ(rewind.panelTint, Color::rgb255(255, 246, 232, 0.82));
    EXPECT_EQ(rewind.outline, Color::rgb255(34, 30, 26));
    EXPECT_EQ(rewind.outlineWidth, 2);
    EXPECT_EQ(rewind.headerStyle, HeaderStyle::titleBar);
    EXPECT_EQ(rewind.titleBarColors.size(), 3u);
    EXPECT_NE(studio, rewind);
}

TEST(Themes, StageGridLines) {
    EXPECT_EQ(stageGridLines(100), (std::vector<double>{0, 24, 48, 72, 96}));
    EXPECT_EQ(stageGridLines(50), (std::vector<double>{0, 24, 48}));
    EXPECT_EQ(stageGridLines(48), (std::vector<double>{0, 24, 48}));
    EXPECT_EQ(stageGridLines(0), (std::vector<double>{0}));
    EXPECT_TRUE(stageGridLines(-1).empty());
}

TEST(ThemeManager, FollowsTheStoredIdentifier) {
    MemoryKeyValueStore store;
    Preferences preferences(store);
    EXPECT_EQ(ThemeManager(preferences).current().id, "studio");
    preferences.setThemeID("rewind");
    EXPECT_EQ(ThemeManager(preferences).current().id, "rewind");
    preferences.setThemeID("Rewind");
    EXPECT_EQ(ThemeManager(preferences).current().id, "studio");
    EXPECT_EQ(preferences.themeID(), "Rewind");  // not rewritten
}

TEST(ThemeManager, ApplyStoresAndNotifies) {
    MemoryKeyValueStore store;
    Preferences preferences(store);
    ThemeManager manager(preferences);
    int changes = 0;
    QObject::connect(&manager, &ThemeManager::currentChanged, [&] { ++changes; });
    manager.apply("rewind");
    EXPECT_EQ(manager.current().id, "rewind");
    EXPECT_EQ(preferences.themeID(), "rewind");
    EXPECT_EQ(changes, 1);
    manager.apply("rewind");
    EXPECT_EQ(changes, 1);
    manager.apply("unknown");
    EXPECT_EQ(manager.current().id, "studio");
    EXPECT_EQ(preferences.themeID(), "unknown");
    EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace zarvex
