#include "app/settings_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <fstream>

#include "app/shortcut_recorder.h"
#include "app/update_dialog.h"
#include "gui/gui_environment.h"
#include "temp_dir.h"
#include "ui/application_theme.h"
#include "ui/toggle_switch.h"
#include "update_feed_signer.h"

namespace zarvex {
namespace {

using testing::GuiTest;

// A settings window over fresh preferences and a private autostart folder.
class SettingsWindowTest : public GuiTest {
  protected:
    SettingsWindowTest()
        : preferences(store),
          themes(preferences),
          shortcut(preferences),
          login(std::make_unique<XdgAutostart>(config / "autostart", "/usr/bin/zarvex")) {
        theme = std::make_unique<ApplicationTheme>(themes);
    }
    ~SettingsWindowTest() override { ApplicationTheme::apply(Theme::studio()); }

    std::unique_ptr<SettingsWindow> open() {
        auto window = std::make_unique<SettingsWindow>(
            SettingsWindow::Services{preferences, themes, shortcut, login});
        testing::showAndWait(*window);
        return window;
    }

    testing::TempDir config;
    MemoryKeyValueStore store;
    Preferences preferences;
    ThemeManager themes;
    ShortcutSettings shortcut;
    LaunchAtLogin login;
    std::unique_ptr<ApplicationTheme> theme;
};

TEST_F(SettingsWindowTest, AFreshProfileShowsTheDefaults) {
    const auto window = open();
    EXPECT_EQ(window->width(), 480);  // the 440 form and its margins
    EXPECT_FALSE(window->loginSwitch()->isChecked());
    EXPECT_FALSE(window->loginCaption()->isVisible());
    EXPECT_EQ(window->themePicker()->currentText(), "Studio");
    EXPECT_EQ(window->themeCaption()->text(), "Studio: the modern dark-stage look.");
    EXPECT_EQ(window->shortcutRecorder()->text(), "Ctrl+Shift+G");
    EXPECT_EQ(window->countdownPicker()->currentText(), "3 seconds");
    EXPECT_TRUE(window->micSwitch()->isChecked());
    EXPECT_TRUE(window->systemAudioSwitch()->isChecked());
    EXPECT_FALSE(window->cameraSwitch()->isChecked());
    EXPECT_TRUE(window->cursorSwitch()->isChecked());
    EXPECT_EQ(window->folderLabel()->property("displayPath").toString(), "~/Videos/Zarvex");
    EXPECT_EQ(window->filenameField()->text(), "");
    EXPECT_EQ(window->filenameField()->placeholderText(), "{{name}}");
}

TEST_F(SettingsWindowTest, ControlsStoreTheirPreferencesAndSurviveAReopen) {
    auto window = open();
    window->countdownPicker()->activated(0);  // "Off"
    QTest::mouseClick(window->cameraSwitch(), Qt::LeftButton);
    QTest::mouseClick(window->micSwitch(), Qt::LeftButton);
    QTest::keyClicks(window->filenameField(), "{{name}}-{{datetime}}");
    EXPECT_EQ(preferences.countdownSeconds(), 0);
    EXPECT_TRUE(preferences.defaultCameraEnabled());
    EXPECT_FALSE(preferences.defaultMicEnabled());
    EXPECT_EQ(preferences.exportFilenamePattern(), "{{name}}-{{datetime}}");

    preferences.setRecordingsFolder("/media/disk/Zarvex");
    window = open();
    EXPECT_EQ(window->countdownPicker()->currentText(), "Off");
    EXPECT_TRUE(window->cameraSwitch()->isChecked());
    EXPECT_FALSE(window->micSwitch()->isChecked());
    EXPECT_EQ(window->filenameField()->text(), "{{name}}-{{datetime}}");
    EXPECT_EQ(window->folderLabel()->property("displayPath").toString(), "/media/disk/Zarvex");

    // "Choose…" stores the chosen folder and shows it.
    window->chooseFolder();
    ASSERT_TRUE(window->folderDialog());
    const std::string chosen = (testing::GuiEnvironment::get().home() / "Movies").string();
    std::filesystem::create_directories(chosen);
    emit window->folderDialog()->fileSelected(QString::fromStdString(chosen));
    EXPECT_EQ(preferences.recordingsFolder(), chosen);
    EXPECT_EQ(window->folderLabel()->property("displayPath").toString(), "~/Movies");
}

TEST_F(SettingsWindowTest, ShortcutRecorderStoresOrCancelsAndAnnouncesTheChange) {
    const auto window = open();
    ShortcutRecorder* recorder = window->shortcutRecorder();
    QSignalSpy changed(&shortcut, &ShortcutSettings::shortcutChanged);
    QSignalSpy listening(&shortcut, &ShortcutSettings::recordingChanged);

    QTest::mouseClick(recorder, Qt::LeftButton);
    EXPECT_EQ(recorder->text(), "Press keys…");
    QTest::keyClick(window->filenameField(), Qt::Key_A, Qt::ShiftModifier);  // anywhere in the app
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->text(), "Ctrl+Shift+G");
    EXPECT_EQ(window->filenameField()->text(), "");  // the key was consumed
    EXPECT_FALSE(store.value(prefs::hotkeyModifiers));

    QTest::mouseClick(recorder, Qt::LeftButton);
    QTest::keyPress(recorder, Qt::Key_Control, Qt::ControlModifier);  // keeps listening
    EXPECT_TRUE(recorder->isRecording());
    QTest::keyClick(recorder, Qt::Key_K,
                    Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier);
    EXPECT_EQ(preferences.hotkey(), (Hotkey{40, 6912}));
    EXPECT_EQ(preferences.hotkeyDisplay(), "Ctrl+Alt+Shift+Super+K");
    EXPECT_EQ(recorder->text(), "Ctrl+Alt+Shift+Super+K");

    QTest::mouseClick(recorder, Qt::LeftButton);
    QTest::keyClick(recorder, Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(preferences.hotkey(), (Hotkey{5, 768}));
    EXPECT_EQ(preferences.hotkeyDisplay(), "Ctrl+Shift+G");

    QTest::mouseClick(recorder, Qt::LeftButton);
    QTest::keyClick(recorder, Qt::Key_Escape);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_EQ(listening.count(), 8);  // on and off four times
    EXPECT_FALSE(shortcut.isRecording());
}

TEST_F(SettingsWindowTest, LoginSwitchWritesTheEntryOrShowsTheError) {
    const auto window = open();
    const auto entry = config / "autostart" / "zarvex.desktop";
    QTest::mouseClick(window->loginSwitch(), Qt::LeftButton);
    EXPECT_TRUE(std::filesystem::exists(entry));
    EXPECT_TRUE(window->loginSwitch()->isChecked());
    QTest::mouseClick(window->loginSwitch(), Qt::LeftButton);
    EXPECT_FALSE(std::filesystem::exists(entry));

    std::filesystem::remove_all(config / "autostart");
    std::ofstream(config / "autostart") << "not a folder";
    QTest::mouseClick(window->loginSwitch(), Qt::LeftButton);
    EXPECT_FALSE(window->loginSwitch()->isChecked());
    EXPECT_TRUE(window->loginCaption()->isVisible());
    EXPECT_TRUE(window->loginCaption()->text().startsWith("Could not create the folder "));
}

TEST_F(SettingsWindowTest, ThemePickerStoresAndAppliesTheThemeAtOnce) {
    const auto window = open();
    window->themePicker()->activated(1);
    QApplication::processEvents();
    EXPECT_EQ(preferences.themeID(), "rewind");
    EXPECT_EQ(ApplicationTheme::current().id, "rewind");
    EXPECT_EQ(window->themeCaption()->text(),
              "Rewind: hand-drawn 90s desktop — cream panels, ink outlines, primary-color "
              "title bars.");
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(255, 246, 232));
}

// Serves one HTTP response body to every request, on 127.0.0.1.
class FeedServer {
  public:
    explicit FeedServer(QByteArray body) : body_(std::move(body)) {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    socket->readAll();
                    socket->write(
                        "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n"
                        "Connection: close\r\nContent-Length: " +
                        QByteArray::number(body_.size()) + "\r\n\r\n" + body_);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    QUrl url() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/feed.json").arg(server_.serverPort()));
    }

  private:
    QByteArray body_;
    QTcpServer server_;
};

UpdateCheckResult check(UpdateChecker& checker) {
    QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
    QSignalSpy availability(&checker, &UpdateChecker::canCheckForUpdatesChanged);
    checker.checkForUpdates();
    EXPECT_FALSE(checker.canCheckForUpdates());
    EXPECT_TRUE(finished.wait(20000));
    EXPECT_TRUE(checker.canCheckForUpdates());
    EXPECT_EQ(availability.count(), 2);
    return finished.isEmpty() ? UpdateCheckResult{}
                              : finished.front().front().value<UpdateCheckResult>();
}

TEST_F(SettingsWindowTest, UpdaterAgainstALocalFeed) {
    testing::UpdateFeedSigner signer, stranger;
    const BundleInfo running{"0.1.0", "1", {}, {}};
    const UpdateItem current{"0.1.0", "1", "", "https://zarvex.invalid/0.1.0"};
    const UpdateItem next{"0.2.0", "5", "Faster exports.", "https://zarvex.invalid/0.2.0"};

    FeedServer upToDate(nlohmann::json{{"items", {signer.entry(current)}}}.dump().c_str());
    UpdateChecker first(upToDate.url(), signer.publicKey(), running);
    UpdateDialog dialog(first);
    EXPECT_EQ(check(first).kind, UpdateCheckResult::Kind::upToDate);
    EXPECT_EQ(dialog.headline(), "You're up to date.");

    FeedServer newer(
        nlohmann::json{{"items", {signer.entry(current), signer.entry(next)}}}.dump().c_str());
    UpdateChecker second(newer.url(), signer.publicKey(), running);
    UpdateDialog shown(second);
    const UpdateCheckResult found = check(second);
    EXPECT_EQ(found.kind, UpdateCheckResult::Kind::available);
    EXPECT_EQ(found.item, next);
    EXPECT_EQ(shown.headline(), "Zarvex 0.2.0 is available");
    EXPECT_EQ(shown.notes(), "Faster exports.");
    EXPECT_FALSE(shown.downloadButton()->isHidden());

    FeedServer forged(nlohmann::json{{"items", {stranger.entry(next)}}}.dump().c_str());
    UpdateChecker third(forged.url(), signer.publicKey(), running);
    EXPECT_EQ(check(third).kind, UpdateCheckResult::Kind::upToDate);
}

TEST_F(SettingsWindowTest, NoUpdaterWithoutAConfiguredFeed) {
    EXPECT_FALSE(
        UpdateController(BundleInfo{"0.1.0", "1", std::nullopt, std::nullopt}).hasUpdater());
    UpdateController configured(BundleInfo{"0.1.0", "1", "https://zarvex.invalid/f", "a2V5"});
    EXPECT_TRUE(configured.hasUpdater());
    EXPECT_TRUE(configured.canCheckForUpdates());
}

}  // namespace
}  // namespace zarvex
