#include "model/settings_store.h"

namespace zarvex {
namespace {

QString qKey(std::string_view key) {
    return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

}  // namespace

SettingsStore::SettingsStore() : settings_(QStringLiteral("Zarvex"), QStringLiteral("Zarvex")) {}

std::optional<PreferenceValue> SettingsStore::value(std::string_view key) const {
    const QVariant stored = settings_.value(qKey(key));
    if (!stored.isValid()) {
        return std::nullopt;
    }
    switch (stored.typeId()) {
        case QMetaType::Bool:
            return stored.toBool();
        case QMetaType::Int:
        case QMetaType::LongLong:
        case QMetaType::UInt:
        case QMetaType::ULongLong:
            return static_cast<std::int64_t>(stored.toLongLong());
        case QMetaType::Double:
        case QMetaType::Float:
            return stored.toDouble();
        default:
            return stored.toString().toStdString();
    }
}

void SettingsStore::setValue(std::string_view key, const PreferenceValue& value) {
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                settings_.setValue(qKey(key), QString::fromStdString(v));
            } else if constexpr (std::is_same_v<T, std::int64_t>) {
                settings_.setValue(qKey(key), static_cast<qlonglong>(v));
            } else {
                settings_.setValue(qKey(key), v);
            }
        },
        value);
}

void SettingsStore::remove(std::string_view key) {
    settings_.remove(qKey(key));
}

Preferences& userPreferences() {
    static SettingsStore store;
    static Preferences preferences(store);
    return preferences;
}

}  // namespace zarvex
