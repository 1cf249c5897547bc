#include "app/menu_content.h"

#include <sstream>

namespace zarvex {
namespace {

// Error lines longer than this are wrapped so the menu stays narrow.
constexpr std::size_t kErrorLineWidth = 64;

// Characters, not bytes, of UTF-8 text.
std::size_t length(const std::string& text) {
    std::size_t count = 0;
    for (const unsigned char c : text) {
        count += (c & 0xc0) != 0x80 ? 1 : 0;
    }
    return count;
}

}  // namespace

std::string primaryTitle(AppState::Phase phase, const std::string& hotkeyText) {
    const char* literal = "New Recording…  ";
    switch (phase) {
        case AppState::Phase::idle:
            break;
        case AppState::Phase::selecting:
            literal = "Cancel Selection  ";
            break;
        case AppState::Phase::countingDown:
            literal = "Cancel Countdown  ";
            break;
        case AppState::Phase::recording:
            literal = "Stop Recording  ";
            break;
    }
    return literal + hotkeyText;
}

std::vector<MenuEntry> menuEntries(const MenuState& state) {
    std::vector<MenuEntry> entries;
    if (state.phase == AppState::Phase::recording) {
        entries.push_back(
            {MenuItem::recordingTime, "Recording… " + state.elapsedText, false, {}, {}});
    }
    entries.push_back(
        {MenuItem::primary, primaryTitle(state.phase, state.hotkeyText), true, {}, {}});
    entries.push_back({});
    entries.push_back({MenuItem::openRecent, "Open Recent", true, {}, {}});
    entries.push_back({MenuItem::openRecording, "Open Recording…", true, {}, {}});
    entries.push_back({MenuItem::openRecordingsFolder, "Open Recordings Folder", true, {}, {}});
    entries.push_back({});
    entries.push_back({MenuItem::settings, "Settings…", true, "Ctrl+,", {}});
    if (state.hasUpdater) {
        entries.push_back(
            {MenuItem::checkForUpdates, "Check for Updates…", state.canCheckForUpdates, {}, {}});
    }
    if (state.errorMessage) {
        entries.push_back({});
        for (std::string& line : wrapText(*state.errorMessage, kErrorLineWidth)) {
            entries.push_back({MenuItem::error, std::move(line), false, {}, {}});
        }
    }
    entries.push_back({});
    entries.push_back({MenuItem::version, state.versionText, false, {}, {}});
    entries.push_back({MenuItem::quit, "Quit Zarvex", true, "Ctrl+Q", {}});
    return entries;
}

std::vector<MenuEntry> recentEntries(const std::vector<std::filesystem::path>& recent) {
    if (recent.empty()) {
        return {{MenuItem::noRecordings, "No Recordings Yet", false, {}, {}}};
    }
    std::vector<MenuEntry> entries;
    for (const auto& folder : recent) {
        entries.push_back({MenuItem::recent, folder.filename().string(), true, {}, folder});
    }
    return entries;
}

std::vector<std::string> wrapText(const std::string& text, std::size_t width) {
    std::vector<std::string> lines;
    std::istringstream words(text);
    std::string word;
    std::string line;
    while (words >> word) {
        if (!line.empty() && length(line) + 1 + length(word) > width) {
            lines.push_back(std::move(line));
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    if (!line.empty() || lines.empty()) {
        lines.push_back(std::move(line));
    }
    return lines;
}

}  // namespace zarvex
