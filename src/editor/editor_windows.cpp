#include "editor/editor_windows.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>

#include "editor/export_question.h"
#include "editor/file_manager.h"
#include "editor/window_placement.h"
#include "model/preset_store.h"
#include "render/off_main_thread.h"
#include "render/project_document.h"

namespace zarvex {

EditorWindows::EditorWindows(EditorWindow::Services services, QObject* parent)
    : QObject(parent), services_(std::move(services)) {}

namespace {

QPointer<EditorWindows>& sharedWindows() {
    static QPointer<EditorWindows> windows;
    return windows;
}

}  // namespace

EditorWindows::~EditorWindows() {
    for (auto& [key, window] : windows_) {
        delete window;
    }
    for (auto& window : closing_) {
        delete window;
    }
    // Quitting: the players and exports being taken apart end first.
    waitForRetirements();
}

EditorWindows* EditorWindows::existing() {
    return sharedWindows();
}

EditorWindows& EditorWindows::shared() {
    QPointer<EditorWindows>& windows = sharedWindows();
    if (!windows) {
        windows = new EditorWindows({PresetStore::shared(), &revealInFileManager});
        // Windows and documents go while the application still runs: each
        // document writes what is not yet saved as it goes.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, windows.data(),
                         [] { delete sharedWindows().data(); });
    }
    return *windows;
}

std::filesystem::path EditorWindows::keyFor(const std::filesystem::path& folder) {
    std::error_code error;
    std::filesystem::path key =
        std::filesystem::weakly_canonical(std::filesystem::absolute(folder), error);
    if (error) {
        key = std::filesystem::absolute(folder).lexically_normal();
    }
    if (!key.empty() && key.filename().empty()) {
        key = key.parent_path();
    }
    return key;
}

EditorWindow* EditorWindows::windowFor(const std::filesystem::path& folder) const {
    const auto found = windows_.find(keyFor(folder));
    return found == windows_.end() ? nullptr : found->second.data();
}

std::optional<std::string> EditorWindows::open(const std::filesystem::path& folder,
                                               std::optional<std::string> notice) {
    const std::filesystem::path key = keyFor(folder);
    if (EditorWindow* window = windowFor(key)) {
        if (notice) {
            window->document().setErrorMessage(std::move(notice));
        }
        window->showNormal();
        window->raise();
        window->activateWindow();
        return std::nullopt;
    }
    // A window of this folder just closed may still be writing its last
    // save: it comes back, with every edit, instead of a new one reading the
    // file before that save has landed.
    const auto closed = std::find_if(closing_.begin(), closing_.end(), [&](const auto& window) {
        return window && keyFor(window->document().bundleURL()) == key;
    });
    if (closed != closing_.end()) {
        EditorWindow* window = *closed;
        closing_.erase(closed);
        windows_[key] = window;
        if (notice) {
            window->document().setErrorMessage(std::move(notice));
        }
        window->show();
        window->raise();
        window->activateWindow();
        return std::nullopt;
    }
    std::unique_ptr<ProjectDocument> document;
    try {
        ProjectDocument::Services documentServices;
        PresetStore& presets = services_.presets;
        documentServices.styleForNewRecording = [&presets] {
            return presets.styleForNewRecording();
        };
        document = std::make_unique<ProjectDocument>(key, std::move(documentServices));
    } catch (const std::exception& error) {
        return std::string("Could not open recording: ") + error.what();
    }
    if (notice) {
        document->setErrorMessage(std::move(notice));
    }
    document->load();

    auto* window = new EditorWindow(std::move(document), services_);
    // On the screen the user is looking at: the one under the pointer.
    std::vector<ScreenArea> screens;
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        const ScreenArea area{screen->geometry(), screen->availableGeometry()};
        screens.insert(screen == primary ? screens.begin() : screens.end(), area);
    }
    if (!screens.empty()) {
        window->move(centredOnPointerScreen(window->size(), QCursor::pos(), screens));
    }
    window->document().onRenamed = [this, window](const std::filesystem::path&,
                                                  const std::filesystem::path& to) {
        renamed(window, to);
    };
    connect(window, &EditorWindow::closed, this, [this, window] { close(window); });
    windows_[key] = window;
    window->show();
    window->raise();
    window->activateWindow();
    return std::nullopt;
}

void EditorWindows::renamed(EditorWindow* window, const std::filesystem::path& to) {
    std::erase_if(windows_, [window](const auto& entry) { return entry.second == window; });
    windows_[keyFor(to)] = window;
    window->setWindowTitle(QString::fromStdString(to.filename().string()));
}

void EditorWindows::close(EditorWindow* window) {
    std::erase_if(windows_, [window](const auto& entry) { return entry.second == window; });
    ProjectDocument& document = window->document();
    document.player().setRate(0);
    window->hide();
    closing_.emplace_back(window);
    // The last save is written off the main thread; the window and its
    // document go once it is on disk, unless it was opened again meanwhile
    // (and, when closed once more, not before that close's save).
    document.save([this, window] {
        if (window->document().hasPendingSave() ||
            std::erase_if(closing_, [window](const auto& entry) { return entry == window; }) == 0) {
            return;
        }
        window->deleteLater();
        noteGone();
    });
    emit windowClosed();
}

void EditorWindows::closeAll() {
    closingAll_ = true;
    QStringList exporting;
    EditorWindow* over = nullptr;
    for (const auto& [key, window] : windows_) {
        if (window && window->document().exportProgress()) {
            exporting << QString::fromStdString(window->document().bundleURL().filename().string());
            over = over != nullptr ? over : window.data();
        }
    }
    const auto closeEach = [this](bool cancelExports) {
        // Copied: closing takes the window out of the registry.
        const auto open = windows_;
        for (const auto& [key, window] : open) {
            if (window) {
                window->closeForQuit(cancelExports);
            }
        }
        noteGone();
    };
    if (exporting.isEmpty()) {
        closeEach(false);
        return;
    }
    auto* question = new ExportQuestion(ExportQuestion::Asked::quitting, exporting, over);
    question->setAttribute(Qt::WA_DeleteOnClose);
    connect(question, &QDialog::finished, this,
            [closeEach](int answer) { closeEach(answer == ExportQuestion::cancelExport); });
    over->showNormal();
    over->raise();
    question->open();
}

void EditorWindows::noteGone() {
    if (closingAll_ && !hasWindows()) {
        emit allClosed();
    }
}

}  // namespace zarvex
