#pragma once

#include <QObject>
#include <QPointer>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "editor/editor_window.h"

namespace zarvex {

// Opening recordings: the process's editor windows, one per recording
// folder. Everything that opens a recording (the command line, the tray's
// recent recordings and "Open Recording…", a recording that has just stopped)
// goes through open(). Main thread only.
class EditorWindows : public QObject {
    Q_OBJECT
  public:
    explicit EditorWindows(EditorWindow::Services services, QObject* parent = nullptr);
    ~EditorWindows() override;

    // The registry over the user's presets and file manager, created on first use.
    static EditorWindows& shared();

    // Brings the window of `folder` to the front, or reads the folder's
    // project file, opens a new window for it and starts loading it. Returns
    // "Could not open recording: " and the reason when the project file
    // cannot be read or decoded; no window opens then. A `notice` (why a
    // recording ended by itself, say) is shown in the window's banner.
    std::optional<std::string> open(const std::filesystem::path& folder,
                                    std::optional<std::string> notice = std::nullopt);

    // The window showing `folder`, if one is open.
    EditorWindow* windowFor(const std::filesystem::path& folder) const;
    std::size_t count() const { return windows_.size(); }

    // The folder as the registry names it: absolute, symbolic links resolved,
    // without a trailing separator.
    static std::filesystem::path keyFor(const std::filesystem::path& folder);

  signals:
    // A window was closed (its document is being saved and put away).
    void windowClosed();

  private:
    void close(EditorWindow* window);
    void renamed(EditorWindow* window, const std::filesystem::path& to);

    EditorWindow::Services services_;
    std::map<std::filesystem::path, QPointer<EditorWindow>> windows_;
    // Closed windows whose documents are still writing their last save.
    std::vector<QPointer<EditorWindow>> closing_;
};

}  // namespace zarvex
