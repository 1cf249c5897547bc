#include "model/preset_store.h"

#include "model/user_dirs.h"

namespace zarvex {

PresetStore::PresetStore(std::filesystem::path folder, QObject* parent)
    : QObject(parent), library_(std::move(folder), [this](std::function<void()> write) {
          ++*pendingWrites_;
          writer_.start([write = std::move(write), pending = pendingWrites_] {
              write();
              --*pending;
          });
      }) {
    writer_.setMaxThreadCount(1);
    library_.load();
}

PresetStore::~PresetStore() {
    writer_.waitForDone();
}

PresetStore& PresetStore::shared() {
    static PresetStore store(dataHomeDirectory() / "Zarvex");
    return store;
}

void PresetStore::save(std::string_view name, const StyleSettings& style) {
    library_.save(name, style);
    emit presetsChanged();
}

void PresetStore::deletePreset(std::string_view name) {
    library_.deletePreset(name);
    emit presetsChanged();
}

}  // namespace zarvex
