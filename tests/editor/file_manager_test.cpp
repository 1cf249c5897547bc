// Showing files in the file manager over a private session bus.
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

#include "child_process.h"
#include "editor/file_manager.h"
#include "model/file_io.h"
#include "temp_dir.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;

// A file manager that notes what it is asked to show.
class FakeFileManager : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
  public:
    explicit FakeFileManager(QObject* parent) : QDBusAbstractAdaptor(parent) {}
    QStringList shown;
  public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

// Stands in for the desktop's opener of folders.
class UrlOpener : public QObject {
    Q_OBJECT
  public:
    QStringList opened;
  public slots:
    void open(const QUrl& url) { opened.push_back(url.toLocalFile()); }
};

QString uriOf(const fs::path& path) {
    return QUrl::fromLocalFile(QString::fromStdString(path.string())).toString();
}

TEST(FileManager, ShowsItemsOverTheSessionBusAndOpensTheFolderWhenNoFileManagerAnswers) {
    // The bus must be in place before anything in the process asks for it.
    testing::ChildProcess bus({"dbus-daemon", "--session", "--nofork", "--print-address=1"});
    const std::optional<std::string> address = bus.readLine(std::chrono::seconds(10));
    ASSERT_TRUE(address);
    testing::ScopedEnv busAddress("DBUS_SESSION_BUS_ADDRESS", *address);
    testing::ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "file_manager_test";
    char* argv[] = {name, nullptr};
    QGuiApplication application(argc, argv);
    UrlOpener opener;
    QDesktopServices::setUrlHandler("file", &opener, "open");

    const testing::TempDir dir;
    fs::create_directory(dir / "Demo");
    writeFileAtomically(dir / "Demo" / "out.mp4", "movie");
    // No file manager on the bus: the folder holding the file opens instead.
    revealInFileManager(dir / "Demo" / "out.mp4");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opener.opened.isEmpty(); }, 30000));
    EXPECT_EQ(opener.opened, QStringList{QString::fromStdString((dir / "Demo").string())});

    QObject service;
    auto* manager = new FakeFileManager(&service);
    QDBusConnection connection =
        QDBusConnection::connectToBus(QString::fromStdString(*address), "file-manager");
    ASSERT_TRUE(connection.registerObject("/org/freedesktop/FileManager1", &service));
    ASSERT_TRUE(connection.registerService("org.freedesktop.FileManager1"));
    revealInFileManager(dir / "Demo");
    revealInFileManager(dir / "Demo" / "out.mp4");
    ASSERT_TRUE(QTest::qWaitFor([&] { return manager->shown.size() == 2; }, 30000));
    EXPECT_EQ(manager->shown, (QStringList{uriOf(dir / "Demo"), uriOf(dir / "Demo" / "out.mp4")}));
    EXPECT_EQ(opener.opened.size(), 1);  // nothing more was opened

    QDesktopServices::unsetUrlHandler("file");
    QDBusConnection::disconnectFromBus("file-manager");
}

}  // namespace
}  // namespace zarvex

#include "file_manager_test.moc"
