#include "app/settings_window.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/form_group.h"
#include "app/shortcut_recorder.h"
#include "capture/recordings_directory.h"
#include "model/settings_store.h"
#include "model/user_dirs.h"
#include "ui/themed_section_header.h"
#include "ui/toggle_switch.h"

namespace zarvex {
namespace {

constexpr int kFormWidth = 440;

const QString kRewindCaption = QStringLiteral(
    "Rewind: hand-drawn 90s desktop — cream panels, ink outlines, primary-color title bars.");
const QString kStudioCaption = QStringLiteral("Studio: the modern dark-stage look.");

struct CountdownChoice {
    const char* label;
    std::int64_t seconds;
};
constexpr CountdownChoice kCountdownChoices[] = {{"Off", 0}, {"3 seconds", 3}, {"5 seconds", 5}};

ToggleSwitch* boundSwitch(bool on, std::function<void(bool)> store) {
    auto* toggle = new ToggleSwitch;
    toggle->setChecked(on);
    QObject::connect(toggle, &ToggleSwitch::toggled, toggle, std::move(store));
    return toggle;
}

QWidget* section(const QString& title, int index, FormGroup* group) {
    auto* box = new QWidget;
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(new ThemedSectionHeader(title, index));
    layout->addWidget(group);
    return box;
}

}  // namespace

std::string recordingsFolderDisplayPath(const std::string& path, const std::string& home) {
    if (!home.empty() && path.size() > home.size() + 1 && path.starts_with(home) &&
        path[home.size()] == '/') {
        return "~/" + path.substr(home.size() + 1);
    }
    return path;
}

SettingsWindow::SettingsWindow(Services services, QWidget* parent)
    : WindowBackdrop(parent), services_(services) {
    setWindowTitle(QStringLiteral("Zarvex Settings"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 22);
    layout->setSpacing(18);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    for (QWidget* part :
         {generalSection(), appearanceSection(), recordingSection(), savingSection()}) {
        part->setFixedWidth(kFormWidth);
        layout->addWidget(part);
    }
    connect(&services_.launchAtLogin, &LaunchAtLogin::changed, this,
            &SettingsWindow::showLoginState);
    connect(&services_.themes, &ThemeManager::currentChanged, this,
            &SettingsWindow::showThemeState);
    // An approval or a change made elsewhere shows when the user comes back.
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive && isVisible()) {
                    services_.launchAtLogin.refresh();
                }
            });
}

SettingsWindow& SettingsWindow::showShared() {
    static QPointer<SettingsWindow> window;
    if (!window) {
        window = new SettingsWindow({userPreferences(), ThemeManager::shared(),
                                     ShortcutSettings::shared(), LaunchAtLogin::shared()});
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return *window;
}

void SettingsWindow::showEvent(QShowEvent* event) {
    services_.launchAtLogin.refresh();
    showLoginState();
    WindowBackdrop::showEvent(event);
}

QWidget* SettingsWindow::generalSection() {
    auto* group = new FormGroup;
    loginSwitch_ = new ToggleSwitch;
    connect(loginSwitch_, &ToggleSwitch::clicked, this,
            [this](bool on) { services_.launchAtLogin.set(on); });
    group->addRow(QStringLiteral("Open Zarvex at login"), loginSwitch_);
    loginCaption_ = group->addCaption(QString());
    showLoginState();
    return section(QStringLiteral("General"), 0, group);
}

void SettingsWindow::showLoginState() {
    const QSignalBlocker block(loginSwitch_);
    loginSwitch_->setChecked(services_.launchAtLogin.isEnabled());
    const auto& error = services_.launchAtLogin.lastErrorMessage();
    loginCaption_->setText(error.value_or(QString()));
    loginCaption_->setVisible(error.has_value());
}

QWidget* SettingsWindow::appearanceSection() {
    auto* group = new FormGroup;
    themePicker_ = new QComboBox;
    for (const Theme& theme : Theme::all()) {
        themePicker_->addItem(QString::fromStdString(theme.name), QString::fromStdString(theme.id));
    }
    themePicker_->setMinimumWidth(140);
    connect(themePicker_, &QComboBox::activated, this, [this](int index) {
        services_.themes.apply(themePicker_->itemData(index).toString().toStdString());
    });
    group->addRow(QStringLiteral("Theme"), themePicker_);
    themeCaption_ = group->addCaption(QString());
    showThemeState();
    return section(QStringLiteral("Appearance"), 1, group);
}

void SettingsWindow::showThemeState() {
    // The picker shows the stored identifier; an unknown one selects nothing.
    const QString stored = QString::fromStdString(services_.preferences.themeID());
    themePicker_->setCurrentIndex(themePicker_->findData(stored));
    themeCaption_->setText(stored == QStringLiteral("rewind") ? kRewindCaption : kStudioCaption);
}

QWidget* SettingsWindow::recordingSection() {
    Preferences& prefs = services_.preferences;
    auto* group = new FormGroup;
    recorder_ = new ShortcutRecorder(services_.shortcut);
    // Where the desktop binds the key, the row says where instead.
    bindingLabel_ = new QLabel;
    bindingLabel_->setProperty("role", QStringLiteral("secondary"));
    bindingLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* shortcutRow = new QWidget;
    auto* shortcutLayout = new QHBoxLayout(shortcutRow);
    shortcutLayout->setContentsMargins(0, 0, 0, 0);
    shortcutLayout->addWidget(recorder_);
    shortcutLayout->addWidget(bindingLabel_);
    group->addRow(QStringLiteral("Record shortcut"), shortcutRow);
    showShortcutBinding();
    connect(&services_.shortcut, &ShortcutSettings::bindingChanged, this,
            &SettingsWindow::showShortcutBinding);
    // Why the last key pressed was refused, until the recorder listens again.
    shortcutCaption_ = group->addCaption(QString());
    shortcutCaption_->hide();
    connect(recorder_, &ShortcutRecorder::refused, this, [this](const QString& reason) {
        shortcutCaption_->setText(reason);
        shortcutCaption_->show();
    });
    connect(&services_.shortcut, &ShortcutSettings::recordingChanged, this, [this](bool listening) {
        if (listening) {
            shortcutCaption_->hide();
        }
    });

    countdownPicker_ = new QComboBox;
    for (const auto& choice : kCountdownChoices) {
        countdownPicker_->addItem(QString::fromUtf8(choice.label),
                                  QVariant::fromValue<qlonglong>(choice.seconds));
    }
    countdownPicker_->setCurrentIndex(
        countdownPicker_->findData(QVariant::fromValue<qlonglong>(prefs.countdownSeconds())));
    countdownPicker_->setMinimumWidth(140);
    connect(countdownPicker_, &QComboBox::activated, this, [this](int index) {
        services_.preferences.setCountdownSeconds(countdownPicker_->itemData(index).toLongLong());
    });
    group->addRow(QStringLiteral("Countdown"), countdownPicker_);

    micSwitch_ = boundSwitch(prefs.defaultMicEnabled(),
                             [&prefs](bool on) { prefs.setDefaultMicEnabled(on); });
    group->addRow(QStringLiteral("Microphone on by default"), micSwitch_);
    systemAudioSwitch_ = boundSwitch(prefs.defaultSystemAudioEnabled(),
                                     [&prefs](bool on) { prefs.setDefaultSystemAudioEnabled(on); });
    group->addRow(QStringLiteral("System audio on by default"), systemAudioSwitch_);
    cameraSwitch_ = boundSwitch(prefs.defaultCameraEnabled(),
                                [&prefs](bool on) { prefs.setDefaultCameraEnabled(on); });
    group->addRow(QStringLiteral("Camera on by default"), cameraSwitch_);
    cursorSwitch_ = boundSwitch(prefs.defaultCursorEnabled(),
                                [&prefs](bool on) { prefs.setDefaultCursorEnabled(on); });
    group->addRow(QStringLiteral("Show cursor by default"), cursorSwitch_);
    zoomSwitch_ =
        boundSwitch(prefs.zoomOnClicks(), [&prefs](bool on) { prefs.setZoomOnClicks(on); });
    group->addRow(QStringLiteral("Zoom in on clicks"), zoomSwitch_);
    return section(QStringLiteral("Recording"), 2, group);
}

void SettingsWindow::showShortcutBinding() {
    const ShortcutSettings::Binding binding = services_.shortcut.binding();
    recorder_->setVisible(binding == ShortcutSettings::Binding::recorder);
    // A refused key is the recorder's news: without the recorder it goes too.
    if (binding != ShortcutSettings::Binding::recorder && shortcutCaption_ != nullptr) {
        shortcutCaption_->hide();
    }
    bindingLabel_->setVisible(binding != ShortcutSettings::Binding::recorder);
    bindingLabel_->setText(binding == ShortcutSettings::Binding::desktop
                               ? QStringLiteral("Set in your desktop's settings")
                               : QStringLiteral("Bind a key to: zarvex toggle"));
}

QWidget* SettingsWindow::savingSection() {
    auto* group = new FormGroup;
    auto* folderRow = new QWidget;
    auto* folderLayout = new QHBoxLayout(folderRow);
    folderLayout->setContentsMargins(0, 0, 0, 0);
    folderLayout->setSpacing(10);
    folderLabel_ = new QLabel;
    folderLabel_->setProperty("role", QStringLiteral("secondary"));
    folderLabel_->setMaximumWidth(200);
    folderLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* choose = new QPushButton(QStringLiteral("Choose…"));
    connect(choose, &QPushButton::clicked, this, &SettingsWindow::chooseFolder);
    folderLayout->addWidget(folderLabel_);
    folderLayout->addWidget(choose);
    group->addRow(QStringLiteral("Recordings folder"), folderRow);
    showFolder();

    filenameField_ = new QLineEdit;
    filenameField_->setPlaceholderText(QStringLiteral("{{name}}"));
    filenameField_->setText(QString::fromStdString(
        services_.preferences.text(prefs::exportFilenamePattern).value_or(std::string())));
    filenameField_->setFixedWidth(200);
    connect(filenameField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        services_.preferences.setExportFilenamePattern(text.toStdString());
    });
    group->addRow(QStringLiteral("Export filename"), filenameField_);
    group->addCaption(QStringLiteral("Tokens: {{name}}, {{datetime}}, {{UUID}}"));
    return section(QStringLiteral("Saving"), 3, group);
}

void SettingsWindow::showFolder() {
    const std::string path = recordingsDirectory(services_.preferences).string();
    const QString shown =
        QString::fromStdString(recordingsFolderDisplayPath(path, homeDirectory().string()));
    folderLabel_->setToolTip(shown);
    folderLabel_->setText(folderLabel_->fontMetrics().elidedText(shown, Qt::ElideMiddle,
                                                                 folderLabel_->maximumWidth()));
    folderLabel_->setProperty("displayPath", shown);
}

void SettingsWindow::chooseFolder() {
    if (folderDialog_) {
        folderDialog_->raise();
        return;
    }
    auto* dialog = new QFileDialog(
        this, QStringLiteral("Choose a folder for recordings"),
        QString::fromStdString(recordingsDirectory(services_.preferences).string()));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& folder) {
        if (!folder.isEmpty()) {
            services_.preferences.setRecordingsFolder(folder.toStdString());
            showFolder();
        }
    });
    folderDialog_ = dialog;
    dialog->open();  // window-modal, without a nested event loop
}

}  // namespace zarvex
