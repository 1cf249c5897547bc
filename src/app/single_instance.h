#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace zarvex {

// One running application per user session (and X display), without a
// session bus: the first process holds a lock file and listens on a local
// socket beside it; a later one hands its request (its arguments) over and
// exits. Main thread only.
class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // Files "zarvex-<session>.lock" and ".socket" in `directory`, which is
    // created when missing.
    SingleInstance(std::filesystem::path directory, const std::string& session,
                   QObject* parent = nullptr);
    ~SingleInstance() override;

    // The folder for the files: $XDG_RUNTIME_DIR, else the user's cache folder.
    static std::filesystem::path defaultDirectory();
    // The session's name: the X display ($DISPLAY), "default" without one.
    static std::string defaultSession();

    // Becomes the running instance unless another one is: true when this
    // process now answers requests.
    bool claim();

    // Hands `arguments` to the running instance and waits until it has taken
    // them (a starting instance is given `timeout` to begin listening); false
    // when none took them.
    bool send(const std::vector<std::string>& arguments,
              std::chrono::milliseconds timeout = std::chrono::seconds(5));

    // send() when an instance runs, without becoming one otherwise: false at
    // once when none runs (a command can then do its work itself).
    bool handOver(const std::vector<std::string>& arguments);

  signals:
    // A later process's request, on the running instance.
    void requested(const std::vector<std::string>& arguments);

  private:
    void accept();

    std::filesystem::path lockPath_;
    std::filesystem::path socketPath_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer server_;
};

}  // namespace zarvex
