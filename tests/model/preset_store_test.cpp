#include "model/preset_store.h"

#include <gtest/gtest.h>

#include <thread>

#include "temp_dir.h"

namespace zarvex {
namespace {

using testing::ScopedEnv;
using testing::TempDir;

TEST(PresetStore, NotifiesOnEveryChangeAndPersistsTheSharedOneInTheDataHome) {
    TempDir dir;
    PresetStore store(dir / "Zarvex");
    int changes = 0;
    QObject::connect(&store, &PresetStore::presetsChanged, [&] { ++changes; });
    StyleSettings style;
    style.cornerRadius = 8;
    store.save("Default", style);
    store.save("Other", {});
    store.deletePreset("Other");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(store.styleForNewRecording().cornerRadius, 8);
    while (store.hasPendingWrites()) {
        std::this_thread::yield();  // written in order on the store's thread
    }
    EXPECT_EQ(PresetStore(dir / "Zarvex").presets(), store.presets());

    // The shared store lives in the data home.
    TempDir data;
    ScopedEnv dataHome("XDG_DATA_HOME", data.path().string());
    PresetStore::shared().save("Mine", {});
    while (PresetStore::shared().hasPendingWrites()) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(std::filesystem::exists(data / "Zarvex" / "presets.json"));
    EXPECT_EQ(&PresetStore::shared(), &PresetStore::shared());
}

}  // namespace
}  // namespace zarvex
