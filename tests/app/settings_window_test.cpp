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
#include <QTimer>
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
    ~SettingsWindowTest() override { ApplicationTheme::apply(Theme::studio()); }

    std::unique_ptr<SettingsWindow> open() {
        auto window = std::make_unique<SettingsWindow>(
            SettingsWindow::Services{preferences, themes, shortcut, login});
        testing::showAndWait(*window);
        return window;
    }

    testing::TempDir config;
    MemoryKeyValueStore store;
    Preferences preferences{store};
    ThemeManager themes{preferences};
    ShortcutSettings shortcut{preferences};
    LaunchAtLogin login{std::make_unique<XdgAutostart>(config / "autostart", "/usr/bin/zarvex")};
    ApplicationTheme theme{themes};
};

TEST_F(SettingsWindowTest, AFreshProfileShowsTheDefaultsAndControlsStoreTheirPreferences) {
    auto window = open();
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
    EXPECT_FALSE(window->zoomSwitch()->isChecked());
    EXPECT_EQ(window->folderLabel()->property("displayPath").toString(), "~/Videos/Zarvex");
    EXPECT_EQ(window->filenameField()->text(), "");
    EXPECT_EQ(window->filenameField()->placeholderText(), "{{name}}");

    // Where the desktop binds the key, the row says so instead of recording one.
    EXPECT_TRUE(window->shortcutBindingLabel()->isHidden());
    shortcut.setBinding(ShortcutSettings::Binding::desktop);
    EXPECT_TRUE(window->shortcutRecorder()->isHidden());
    EXPECT_EQ(window->shortcutBindingLabel()->text(), "Set in your desktop's settings");
    shortcut.setBinding(ShortcutSettings::Binding::command);
    EXPECT_FALSE(window->shortcutBindingLabel()->isHidden());
    EXPECT_EQ(window->shortcutBindingLabel()->text(), "Bind a key to: zarvex toggle");
    shortcut.setBinding(ShortcutSettings::Binding::recorder);
    EXPECT_FALSE(window->shortcutRecorder()->isHidden());
    EXPECT_TRUE(window->shortcutBindingLabel()->isHidden());

    // The controls store their preferences, which a reopened window shows.
    window->countdownPicker()->activated(0);  // "Off"
    QTest::mouseClick(window->cameraSwitch(), Qt::LeftButton);
    QTest::mouseClick(window->micSwitch(), Qt::LeftButton);
    QTest::mouseClick(window->zoomSwitch(), Qt::LeftButton);
    QTest::keyClicks(window->filenameField(), "{{name}}-{{datetime}}");
    preferences.setRecordingsFolder("/media/disk/Zarvex");
    window = open();
    EXPECT_EQ(window->countdownPicker()->currentText(), "Off");
    EXPECT_TRUE(window->cameraSwitch()->isChecked());
    EXPECT_FALSE(window->micSwitch()->isChecked());
    EXPECT_TRUE(window->zoomSwitch()->isChecked());
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
    QTest::keyClick(recorder, Qt::Key_Escape);
    EXPECT_FALSE(window->shortcutCaption()->isVisible());

    // A key no shortcut can use says why, until the recorder listens again.
    QTest::mouseClick(recorder, Qt::LeftButton);
    QTest::keyClick(recorder, Qt::Key_VolumeUp, Qt::ControlModifier);
    EXPECT_TRUE(window->shortcutCaption()->text().startsWith("“Volume Up” can't be used") &&
                window->shortcutCaption()->isVisible());
    QTest::mouseClick(recorder, Qt::LeftButton);
    EXPECT_FALSE(window->shortcutCaption()->isVisible());
    QTest::mouseClick(recorder, Qt::LeftButton);

    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(listening.count(), 10);  // on and off five times
    EXPECT_FALSE(shortcut.isRecording());
}

TEST_F(SettingsWindowTest, LoginSwitchWritesTheEntryOrShowsTheErrorAndTheThemeApplies) {
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

    // The theme picker stores and applies the theme at once.
    window->themePicker()->activated(1);
    QApplication::processEvents();
    EXPECT_EQ(preferences.themeID(), "rewind");
    EXPECT_EQ(ApplicationTheme::current().id, "rewind");
    EXPECT_EQ(window->themeCaption()->text(),
              "Rewind: hand-drawn 90s desktop — cream panels, ink outlines, primary-color "
              "title bars.");
}

// An HTTP server on 127.0.0.1 answering each request with `response`
// (status line, headers and body as given): at once, or one byte every
// `dripMs` until the client goes; `open` counts the connections not yet closed.
struct FeedServer {
    FeedServer() {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                ++open;
                QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                    --open;
                    socket->deleteLater();
                });
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    socket->readAll();
                    if (dripMs == 0) {
                        socket->write(response);
                        socket->disconnectFromHost();
                        return;
                    }
                    auto* drip = new QTimer(socket);
                    QObject::connect(drip, &QTimer::timeout, socket,
                                     [this, socket, at = 0]() mutable {
                                         socket->write(response.mid(at++ % response.size(), 1));
                                     });
                    drip->start(dripMs);
                });
            }
        });
    }
    QUrl url() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/feed.json").arg(server.serverPort()));
    }

    QByteArray response;
    int dripMs = 0;
    int open = 0;
    QTcpServer server;
};

QByteArray feed(const nlohmann::json& entry, int size = 0) {
    const QByteArray body =
        QByteArray::fromStdString(nlohmann::json{{"items", {entry}}}.dump()).leftJustified(size);
    return "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

TEST_F(SettingsWindowTest, UpdateCheckAgainstALocalFeedServer) {
    testing::UpdateFeedSigner signer, stranger;
    const UpdateItem next{"0.2.0", "5", "<b>Faster</b>", "https://zarvex.invalid/0.2.0"};
    FeedServer server;
    UpdateChecker checker(server.url(), signer.publicKey(), {"0.1.0", "1", {}, {}},
                          std::chrono::seconds(2));
    UpdateDialog dialog(checker);
    const auto check = [&](const QByteArray& response, int dripMs = 0) {
        server.response = response;
        server.dripMs = dripMs;
        QSignalSpy finished(&checker, &UpdateChecker::checkFinished);
        checker.checkForUpdates();
        EXPECT_FALSE(checker.canCheckForUpdates());
        EXPECT_TRUE(finished.wait(20000));
        return (dialog.headline() + " " + dialog.detail()).toStdString();
    };
    EXPECT_EQ(check(feed(signer.entry({"0.1.0", "1", "", "https://z/"}))),
              "You're up to date. Zarvex 0.1.0 (1) is the newest version.");
    EXPECT_EQ(check(feed(signer.entry(next), 1 << 20)),  // as large as a feed may be
              "Zarvex 0.2.0 is available You have 0.1.0 (1). Download the new version to update.");
    EXPECT_EQ(dialog.notes(), "<b>Faster</b>");
    EXPECT_FALSE(dialog.downloadButton()->isHidden());
    const std::string failed = "Couldn't check for updates. ";
    EXPECT_EQ(check(feed(signer.entry(next), (1 << 20) + 1)),
              failed + "The update feed is larger than 1 MiB.");
    EXPECT_EQ(check(feed(stranger.entry(next))),
              failed + "No update in the feed carries a valid signature.");
    EXPECT_EQ(check("HTTP/1.1 503 <b>Down</b>\r\n\r\n"), failed + "Error transferring " +
                                                             server.url().toString().toStdString() +
                                                             " - server replied: <b>Down</b>");
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        EXPECT_TRUE(label->text().isEmpty() || label->textFormat() == Qt::PlainText);
    }
    // A slow drip never trips the idle time-out; the deadline ends it.
    EXPECT_EQ(check(feed(signer.entry(next)), 20),
              failed + "The update feed did not arrive within 2 seconds.");
    ASSERT_TRUE(testing::waitUntil([&] { return server.open == 0; }));

    // Cancelling the dialog (Escape, its Cancel button) aborts the request.
    checker.checkForUpdates();
    ASSERT_TRUE(testing::waitUntil([&] { return server.open == 1; }));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(checker.canCheckForUpdates());
    EXPECT_TRUE(testing::waitUntil([&] { return server.open == 0; }));

    // The controller has an updater only with a configured feed.
    EXPECT_FALSE(
        UpdateController(BundleInfo{"0.1.0", "1", std::nullopt, std::nullopt}).hasUpdater());
    UpdateController configured(BundleInfo{"0.1.0", "1", "https://zarvex.invalid/f", "a2V5"});
    EXPECT_TRUE(configured.hasUpdater());
    EXPECT_TRUE(configured.canCheckForUpdates());
}

}  // namespace
}  // namespace zarvex
