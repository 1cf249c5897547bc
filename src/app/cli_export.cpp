// zarvex export FOLDER [-o FILE] [--codec h264|hevc] [--resolution native|1080p|720p]:
// the editor's export without the editor. The recording is opened as a
// project document and exported with its saved style and trim.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <ostream>

#include "app/cli.h"
#include "model/file_io.h"
#include "model/project.h"
#include "model/user_dirs.h"
#include "render/export_naming.h"
#include "render/null_player.h"
#include "render/project_document.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUsage =
    "Usage: zarvex export FOLDER [-o FILE] [--codec h264|hevc] [--resolution "
    "native|1080p|720p]\n";

// The signal that asked us to stop (SIGINT, SIGTERM), 0 while none did.
std::atomic<int> stopSignal{0};

extern "C" void onStopSignal(int signal) {
    stopSignal = signal;
}

// Routes SIGINT and SIGTERM to stopSignal while alive; restores the previous
// handlers afterwards.
class StopSignals {
  public:
    StopSignals() {
        stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &previousInterrupt_);
        sigaction(SIGTERM, &action, &previousTerminate_);
    }
    ~StopSignals() {
        sigaction(SIGINT, &previousInterrupt_, nullptr);
        sigaction(SIGTERM, &previousTerminate_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
};

struct ExportArguments {
    fs::path folder;
    std::optional<fs::path> output;
    ExportOptions options;
};

// Option values as typed on the command line.
template <typename E>
struct Choice {
    std::string_view text;
    E value;
};
constexpr std::array<Choice<ExportOptions::Codec>, 2> kCodecs{{
    {"h264", ExportOptions::Codec::h264},
    {"hevc", ExportOptions::Codec::hevc},
}};
constexpr std::array<Choice<ExportOptions::Resolution>, 3> kResolutions{{
    {"native", ExportOptions::Resolution::native},
    {"1080p", ExportOptions::Resolution::p1080},
    {"720p", ExportOptions::Resolution::p720},
}};

// Sets `value` from `text`; false (with a message listing the choices) when
// `text` is none of them.
template <typename E, std::size_t N>
bool choose(std::string_view text, const std::array<Choice<E>, N>& choices, E& value,
            std::string_view what, std::ostream& err) {
    for (const Choice<E>& choice : choices) {
        if (choice.text == text) {
            value = choice.value;
            return true;
        }
    }
    err << "zarvex export: unknown " << what << " \"" << text << "\" (";
    for (std::size_t i = 0; i < N; ++i) {
        err << (i == 0 ? "" : i + 1 == N ? " or " : ", ") << choices[i].text;
    }
    err << ").\n";
    return false;
}

std::optional<ExportArguments> parseArguments(const std::vector<std::string>& args,
                                              std::ostream& err) {
    ExportArguments parsed;
    bool haveFolder = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool takesValue =
            arg == "-o" || arg == "--output" || arg == "--codec" || arg == "--resolution";
        if (takesValue && i + 1 >= args.size()) {
            err << "zarvex export: " << arg << " needs a value.\n" << kUsage;
            return std::nullopt;
        }
        if (arg == "-o" || arg == "--output") {
            parsed.output = fs::path(args[++i]);
        } else if (arg == "--codec") {
            if (!choose(args[++i], kCodecs, parsed.options.codec, "codec", err)) {
                return std::nullopt;
            }
        } else if (arg == "--resolution") {
            if (!choose(args[++i], kResolutions, parsed.options.resolution, "resolution", err)) {
                return std::nullopt;
            }
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

std::string formatDuration(double seconds) {
    const auto whole = static_cast<long long>(seconds + 0.5);
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

// Shows export progress: a redrawn bar with percentage and time left on a
// terminal, otherwise a plain line every tenth of the way.
class ProgressReport {
  public:
    ProgressReport(std::ostream& out, bool terminal) : out_(out), terminal_(terminal) {}

    void update(double fraction) {
        const auto now = std::chrono::steady_clock::now();
        if (!started_) {
            started_ = now;
        }
        const int percent = static_cast<int>(fraction * 100);
        if (!terminal_) {
            if (percent / 10 > lastTenth_) {
                lastTenth_ = percent / 10;
                out_ << "Exporting: " << percent << "%\n" << std::flush;
            }
            return;
        }
        constexpr int kWidth = 30;
        const int filled = static_cast<int>(fraction * kWidth);
        std::string bar(std::size_t(filled), '#');
        bar.append(std::size_t(kWidth - filled), '-');
        const double elapsed = std::chrono::duration<double>(now - *started_).count();
        std::string left;
        if (fraction > 0.02 && elapsed > 1) {
            left = "  " + formatDuration(elapsed * (1 - fraction) / fraction) + " left";
        }
        char line[128];
        std::snprintf(line, sizeof line, "\rExporting [%s] %3d%%%s", bar.c_str(), percent,
                      left.c_str());
        out_ << line << "\x1b[K" << std::flush;
        drawn_ = true;
    }

    // Ends the bar's line so the next message starts on its own.
    void end() {
        if (drawn_) {
            out_ << "\r\x1b[K" << std::flush;
            drawn_ = false;
        }
    }

  private:
    std::ostream& out_;
    bool terminal_;
    std::optional<std::chrono::steady_clock::time_point> started_;
    int lastTenth_ = 0;
    bool drawn_ = false;
};

fs::path defaultOutput(const fs::path& folder) {
    std::error_code ignored;
    const fs::path absolute = fs::absolute(folder, ignored).lexically_normal();
    std::string name = absolute.filename().string();
    if (name.empty()) {
        name = absolute.parent_path().filename().string();
    }
    const fs::path movies = moviesDirectory();
    fs::create_directories(movies, ignored);  // best effort; the export reports a missing folder
    return movies / proposedExportFileName(storedExportPattern(), name);
}

}  // namespace

int runExport(const std::vector<std::string>& args, CommandLineIO io) {
    const std::optional<ExportArguments> parsed = parseArguments(args, io.err);
    if (!parsed) {
        return kExitUsage;
    }
    if (!isRecordingFolder(parsed->folder)) {
        io.err << kNotARecordingMessage << "\n";
        return kExitFailure;
    }

    std::optional<QCoreApplication> application;
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "zarvex";
        static char* argv[] = {name, nullptr};
        application.emplace(argc, argv);
    }

    std::unique_ptr<ProjectDocument> document;
    try {
        ProjectDocument::Services services;
        services.player = std::make_unique<NullPlayer>();
        document = std::make_unique<ProjectDocument>(parsed->folder, std::move(services));
        // Exporting leaves the recording as it was (also a read-only one).
        document->setReadOnly(true);
    } catch (const std::exception& error) {
        io.err << "Could not open recording: " << error.what() << "\n";
        return kExitFailure;
    }
    const fs::path output =
        parsed->output ? fs::absolute(*parsed->output) : defaultOutput(parsed->folder);

    const StopSignals stopHandlers;
    const bool terminal = &io.err == &std::cerr && isatty(STDERR_FILENO);
    ProgressReport progress(io.err, terminal);
    QEventLoop loop;
    bool exporting = false;
    bool exported = false;

    QObject::connect(document.get(), &ProjectDocument::exportProgressChanged, &loop, [&] {
        if (const std::optional<double> fraction = document->exportProgress()) {
            progress.update(*fraction);
        }
    });
    QObject::connect(document.get(), &ProjectDocument::revealInFileViewer, &loop,
                     [&] { exported = true; });
    // Signals are noticed here, on the event loop, rather than in the handler.
    QTimer stopWatch;
    QObject::connect(&stopWatch, &QTimer::timeout, &loop, [&] {
        if (stopSignal == 0) {
            return;
        }
        if (exporting) {
            document->cancelExport();  // ends through the export's completion
        } else {
            loop.exit(128 + stopSignal);
        }
    });
    stopWatch.start(50);

    const auto finished = [&] {
        progress.end();
        if (exported) {
            io.out << output.string() << "\n";
            loop.exit(kExitOk);
        } else if (stopSignal != 0) {
            loop.exit(128 + stopSignal);  // cancelled: the partial movie is already gone
        } else {
            io.err << document->errorMessage().value_or("Export failed.") << "\n";
            loop.exit(kExitFailure);
        }
    };
    document->load([&] {
        if (const auto& message = document->errorMessage()) {
            io.err << *message << "\n";
            loop.exit(kExitFailure);
            return;
        }
        if (stopSignal != 0) {
            loop.exit(128 + stopSignal);
            return;
        }
        exporting = true;
        progress.update(0);
        document->exportTo(output, parsed->options, finished);
    });
    return loop.exec();
}

}  // namespace zarvex
