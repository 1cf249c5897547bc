// zarvex play FOLDER: the styled recording in a plain window, with sound.
// Space plays and pauses, the arrow keys step 5 s, Home and End go to the
// ends of the trimmed range, M mutes, Escape closes. The smallest real user
// of the player engine (and the rig of its benchmark).

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "app/cli.h"
#include "editor/frame_view.h"
#include "model/project.h"
#include "render/playback_engine.h"
#include "render/playback_pipeline.h"
#include "render/project_document.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsage =
    "Usage: zarvex play FOLDER [--at SECONDS] [--paused] [--size WxH] [--exit-at-end] "
    "[--stats]\n";
constexpr double kStepSeconds = 5;
constexpr double kRefreshSeconds = 1.0 / 60;

struct PlayArguments {
    fs::path folder;
    double at = 0;
    bool paused = false;
    std::optional<QSize> size;
    bool exitAtEnd = false;
    bool stats = false;
};

std::optional<PlayArguments> parseArguments(const std::vector<std::string>& args,
                                            std::ostream& err) {
    PlayArguments parsed;
    bool haveFolder = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue = arg == "--at" || arg == "--size";
        if (takesValue && i + 1 >= args.size()) {
            err << "zarvex play: " << arg << " needs a value.\n" << kUsage;
            return std::nullopt;
        }
        if (arg == "--at") {
            char* end = nullptr;
            parsed.at = std::strtod(args[++i].c_str(), &end);
            if (*end != '\0' || !std::isfinite(parsed.at) || parsed.at < 0) {
                err << "zarvex play: --at needs a time in seconds, not \"" << args[i] << "\".\n";
                return std::nullopt;
            }
        } else if (arg == "--size") {
            int width = 0;
            int height = 0;
            char rest = 0;
            if (std::sscanf(args[++i].c_str(), "%dx%d%c", &width, &height, &rest) != 2 ||
                width < 16 || height < 16) {
                err << "zarvex play: --size needs WIDTHxHEIGHT, not \"" << args[i] << "\".\n";
                return std::nullopt;
            }
            parsed.size = QSize(width, height);
        } else if (arg == "--paused") {
            parsed.paused = true;
        } else if (arg == "--exit-at-end") {
            parsed.exitAtEnd = true;
        } else if (arg == "--stats") {
            parsed.stats = true;
        } else if (arg.starts_with("-") || haveFolder) {
            err << kUsage;
            return std::nullopt;
        } else {
            parsed.folder = arg;
            haveFolder = true;
        }
    }
    if (!haveFolder) {
        err << kUsage;
        return std::nullopt;
    }
    return parsed;
}

// How the pictures reached the screen: each paint's lateness against the
// player's clock.
struct PaintRecord {
    std::int64_t painted = 0;
    std::int64_t late = 0;
    std::vector<float> lateness;  // seconds after its time, while playing
};

// The window: a frame view and the keys.
class PlayWindow : public QWidget {
  public:
    PlayWindow(ProjectDocument& document, const QString& title) : document_(document) {
        setWindowTitle(title);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        view_ = new FrameView(this);
        QPalette palette = view_->palette();
        palette.setColor(view_->backgroundRole(), Qt::black);
        view_->setPalette(palette);
        layout->addWidget(view_);
        view_->setPlayer(&document_.player());
        setFocusPolicy(Qt::StrongFocus);
        QObject::connect(view_, &FrameView::picturePainted, this, [this](double seconds) {
            ++paints_.painted;
            Player& player = document_.player();
            if (player.rate() == 0) {
                return;
            }
            const double late = player.currentTime().seconds() - seconds;
            if (late > kRefreshSeconds) {
                ++paints_.late;
            }
            if (paints_.lateness.size() < 100'000) {
                paints_.lateness.push_back(float(late));
            }
        });
    }

    ~PlayWindow() override { view_->setPlayer(nullptr); }

    const PaintRecord& paints() const { return paints_; }

    // Play or pause, keeping playback inside the trimmed range: playing from
    // before it, or at its end, starts at its start.
    void togglePlay() {
        Player& player = document_.player();
        if (player.rate() != 0) {
            player.setRate(0);
            return;
        }
        const auto [start, end] = document_.trimRange();
        const double now = player.currentTime().seconds();
        if (now < start - 0.01 || now >= end - 0.05) {
            player.seek(MediaTime::fromSeconds(start));
        }
        player.setRate(1);
    }

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        Player& player = document_.player();
        const auto [start, end] = document_.trimRange();
        const double now = player.currentTime().seconds();
        const auto go = [&](double seconds) {
            player.seek(MediaTime::fromSeconds(std::clamp(seconds, 0.0, std::max(end, 0.0))));
        };
        switch (event->key()) {
            case Qt::Key_Space:
                togglePlay();
                break;
            case Qt::Key_Left:
                go(now - kStepSeconds);
                break;
            case Qt::Key_Right:
                go(now + kStepSeconds);
                break;
            case Qt::Key_Home:
                go(start);
                break;
            case Qt::Key_End:
                go(end);
                break;
            case Qt::Key_M:
                player.setMuted(!player.isMuted());
                break;
            case Qt::Key_Escape:
                close();
                break;
            default:
                QWidget::keyPressEvent(event);
        }
    }

  private:
    ProjectDocument& document_;
    FrameView* view_ = nullptr;
    PaintRecord paints_;
};

// The application object this command needs; the tray application has its own.
std::unique_ptr<QApplication> makeApplication() {
    static int argc = 1;
    static char name[] = "zarvex";
    static char* argv[] = {name, nullptr};
    QApplication::setApplicationName("Zarvex");
    return std::make_unique<QApplication>(argc, argv);
}

void printStatistics(const PlaybackStatistics& stats, const PaintRecord& paints,
                     std::ostream& out) {
    const auto share = [](std::int64_t part, std::int64_t whole) {
        return whole == 0 ? 100.0 : 100.0 * double(whole - part) / double(whole);
    };
    char line[256];
    std::snprintf(line, sizeof line,
                  "frames due %lld, handed over on time %.2f%% (late %lld, dropped %lld)\n",
                  static_cast<long long>(stats.due), share(stats.late + stats.dropped, stats.due),
                  static_cast<long long>(stats.late), static_cast<long long>(stats.dropped));
    out << line;
    std::vector<float> lateness = paints.lateness;
    std::sort(lateness.begin(), lateness.end());
    std::snprintf(line, sizeof line, "pictures painted %lld, on time %.2f%%, median %.1f ms late\n",
                  static_cast<long long>(paints.painted), share(paints.late, paints.painted),
                  lateness.empty() ? 0.0 : 1000 * lateness[lateness.size() / 2]);
    out << line;
    if (!stats.offsetSeconds.empty()) {
        std::vector<float> sizes;
        double sum = 0;
        for (const float offset : stats.offsetSeconds) {
            sizes.push_back(std::abs(offset));
            sum += offset;
        }
        std::sort(sizes.begin(), sizes.end());
        const auto at = [&](double share) {
            return 1000 * sizes[std::min(sizes.size() - 1, std::size_t(share * sizes.size()))];
        };
        std::snprintf(line, sizeof line,
                      "A/V offset mean %.1f ms; size median %.1f ms, 95th percentile %.1f ms, "
                      "largest %.1f ms (%zu frames)\n",
                      1000 * sum / double(sizes.size()), at(0.5), at(0.95), at(1.0), sizes.size());
    } else {
        std::snprintf(line, sizeof line, "A/V offset: no sound was heard\n");
    }
    out << line;
}

}  // namespace

int runPlay(const std::vector<std::string>& args, CommandLineIO io) {
    const std::optional<PlayArguments> parsed = parseArguments(args, io.err);
    if (!parsed) {
        return kExitUsage;
    }
    if (!isRecordingFolder(parsed->folder)) {
        io.err << kNotARecordingMessage << "\n";
        return kExitFailure;
    }
    std::unique_ptr<QApplication> application;
    if (QApplication::instance() == nullptr) {
        application = makeApplication();
    }

    std::unique_ptr<ProjectDocument> document;
    try {
        document = std::make_unique<ProjectDocument>(parsed->folder);
        // Playing only looks: the recording's folder stays as it was (zoom made
        // from its clicks is not stored either).
        document->setReadOnly(true);
    } catch (const std::exception& error) {
        io.err << "Could not open recording: " << error.what() << "\n";
        return kExitFailure;
    }
    const fs::path absolute = fs::absolute(parsed->folder).lexically_normal();
    const std::string name =
        (absolute.has_filename() ? absolute : absolute.parent_path()).filename().string();
    PlayWindow window(*document, QString::fromStdString(name));
    const QSize available = window.screen()->availableGeometry().size();
    window.resize(parsed->size.value_or(QSize(1280, 720).boundedTo(available * 0.9)));

    int exitCode = kExitOk;
    bool played = false;
    Player& player = document->player();
    player.addRateObserver([&](double rate) {
        played = played || rate != 0;
        if (rate == 0 && parsed->exitAtEnd && played &&
            player.currentTime().seconds() >= document->trimRange().second - 0.001) {
            window.close();
        }
    });
    document->load([&] {
        if (const auto& message = document->errorMessage()) {
            io.err << *message << "\n";
            exitCode = kExitFailure;
            QApplication::quit();
            return;
        }
        window.show();
        player.seek(MediaTime::fromSeconds(parsed->at));
        if (!parsed->paused) {
            window.togglePlay();
        }
    });
    QApplication::exec();
    if (const std::optional<std::string> error = player.error()) {
        io.err << *error << "\n";
        exitCode = kExitFailure;
    }
    if (parsed->stats) {
        if (auto* engine = dynamic_cast<PlaybackEngine*>(&player)) {
            printStatistics(engine->statistics(), window.paints(), io.out);
        }
    }
    return exitCode;
}

}  // namespace zarvex
