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

    // Brings the window of `folder` to the front (also one just closed and
    // still saving, which comes back as it was), or reads the folder's
    // project file, opens a new window for it and starts loading it. Returns
    // "Could not open recording: " and the reason when the project file
    // cannot be read or decoded; no window opens then. A `notice` (why a
    // recording ended by itself, say) is shown in the window's banner.
    std::optional<std::string> open(const std::filesystem::path& folder,
                                    std::optional<std::string> notice = std::nullopt);

    // The window showing `folder`, if one is open.
    EditorWindow* windowFor(const std::filesystem::path& folder) const;
    std::size_t count() const { return windows_.size(); }
    // Open windows and closed ones still saving.
    bool hasWindows() const { return !windows_.empty() || !closing_.empty(); }

    // Closes every window for quitting. When exports run, asks once whether
    // to keep them (their windows close as they end) or to cancel them.
    // allClosed() follows once no window is left.
    void closeAll();

    // The registry made by shared(), if it has been.
    static EditorWindows* existing();

    // The folder as the registry names it: absolute, symbolic links resolved,
    // without a trailing separator.
    static std::filesystem::path keyFor(const std::filesystem::path& folder);

  signals:
    // A window was closed (its document is being saved and put away).
    void windowClosed();
    // After closeAll(), the last window has gone.
    void allClosed();

  private:
    void close(EditorWindow* window);
    void renamed(EditorWindow* window, const std::filesystem::path& to);
    void noteGone();

    EditorWindow::Services services_;
    std::map<std::filesystem::path, QPointer<EditorWindow>> windows_;
    // Closed windows whose documents are still writing their last save; one
    // opened again meanwhile comes back as it was.
    std::vector<QPointer<EditorWindow>> closing_;
    bool closingAll_ = false;
};

}  // namespace zarvex
