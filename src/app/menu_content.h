#pragma once

// What the tray menu shows in each state, as plain values: the tray wrapper
// turns them into actions, and tests read them without a display.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "flow/app_state.h"

namespace zarvex {

enum class MenuItem {
    recordingTime,  // "Recording… 1:05" (disabled)
    primary,        // the phase's primary action
    openRecent,     // the submenu
    noRecordings,   // "No Recordings Yet" in the submenu (disabled)
    recent,         // a recent recording in the submenu
    openRecording,
    openRecordingsFolder,
    settings,
    checkForUpdates,
    error,    // a line of the error message (disabled)
    version,  // the version text (disabled)
    quit,
    separator,
};

struct MenuEntry {
    MenuItem item = MenuItem::separator;
    std::string title;
    bool enabled = true;
    std::string shortcut;          // as a key sequence ("Ctrl+Q"); empty: none
    std::filesystem::path folder;  // of a recent recording
    bool operator==(const MenuEntry&) const = default;
};

struct MenuState {
    AppState::Phase phase = AppState::Phase::idle;
    std::string elapsedText = "0:00";
    std::string hotkeyText;  // the shortcut in force, as shown
    std::vector<std::filesystem::path> recentRecordings;
    bool hasUpdater = false;
    bool canCheckForUpdates = false;
    std::optional<std::string> errorMessage;
    std::string versionText;
};

// How many recent recordings the menu lists.
inline constexpr std::size_t kRecentRecordingsShown = 10;

// The first item's title: the phase's literal, two spaces, the shortcut.
std::string primaryTitle(AppState::Phase phase, const std::string& hotkeyText);

// The menu from top to bottom.
std::vector<MenuEntry> menuEntries(const MenuState& state);
// The "Open Recent" submenu.
std::vector<MenuEntry> recentEntries(const std::vector<std::filesystem::path>& recent);

// `text` broken at spaces into lines of at most `width` characters (a longer
// word stays whole on its own line). Menus show one line per entry.
std::vector<std::string> wrapText(const std::string& text, std::size_t width);

}  // namespace zarvex
