// The inspector and the export sheet driven like a user would.
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include "editor/background_section.h"
#include "editor/editor_view.h"
#include "editor/export_question.h"
#include "editor/export_sheet.h"
#include "editor/presets_menu.h"
#include "editor/slider_row.h"
#include "editor/style_column.h"
#include "editor/swatches.h"
#include "editor_fixture.h"
#include "ffprobe.h"
#include "model/file_io.h"
#include "model/settings_store.h"
#include "model/user_dirs.h"
#include "render/project_document.h"
#include "ui/segmented_control.h"
#include "ui/toggle_switch.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;
using testing::waitUntil;

class InspectorTest : public testing::EditorTest {
  protected:
    InspectorView& openInspector(const testing::EditorRecording& recording = {}) {
        window = &openLoaded(testing::writeEditorRecording(dir / "Demo", recording));
        return *window->editorView()->inspector();
    }
    ProjectDocument& document() { return window->document(); }
    const StyleSettings& style() { return window->document().style(); }

    EditorWindow* window = nullptr;
};

void clickSegment(SegmentedControl* control, int index) {
    QTest::mouseClick(control, Qt::LeftButton, {}, control->segmentRect(index).center());
}

TEST_F(InspectorTest, BackgroundTabsSwatchesAndTheColorWell) {
    BackgroundSection& background = *openInspector().background();
    EXPECT_EQ(background.tabs()->accessibleName(), "Background type");
    EXPECT_EQ(background.angleRow()->valueText(), "45°");  // the default gradient
    EXPECT_TRUE(background.gradientSwatches().front()->isChecked());
    QTest::mouseClick(background.gradientSwatches()[5], Qt::LeftButton);
    EXPECT_EQ(style().background,
              BackgroundStyle::gradient(GradientCollection::builtIn()[1].gradients[1]));
    EXPECT_EQ(background.angleRow()->valueText(), "60°");
    EXPECT_TRUE(background.gradientSwatches()[5]->isChecked());
    EXPECT_FALSE(background.gradientSwatches()[0]->isChecked());

    // Solid → a swatch → Gradients → Solid comes back to #2C5364.
    clickSegment(background.tabs(), 1);
    EXPECT_EQ(style().background, BackgroundStyle::solid("#2C5364"));
    ASSERT_EQ(background.solidSwatches().size(), 6u);
    QTest::mouseClick(background.solidSwatches()[0], Qt::LeftButton);
    EXPECT_EQ(style().background, BackgroundStyle::solid("#FFFFFF"));
    EXPECT_TRUE(background.solidSwatches()[0]->isChecked());
    clickSegment(background.tabs(), 0);
    EXPECT_EQ(style().background, BackgroundStyle::gradient({{"#FF5F6D", "#FFC371"}, 45}));
    clickSegment(background.tabs(), 1);
    EXPECT_EQ(style().background, BackgroundStyle::solid("#2C5364"));

    // The well previews the colour picked and puts the old one back on cancel.
    QTest::mouseClick(background.colorWell(), Qt::LeftButton);
    ASSERT_TRUE(background.colorDialog());
    background.colorDialog()->setCurrentColor(QColor(255, 0, 16));
    EXPECT_EQ(style().background, BackgroundStyle::solid("#FF0010"));
    background.colorDialog()->reject();
    EXPECT_EQ(style().background, BackgroundStyle::solid("#2C5364"));

    // The image tab changes nothing until an image is chosen.
    clickSegment(background.tabs(), 2);
    EXPECT_EQ(style().background, BackgroundStyle::solid("#2C5364"));
    EXPECT_TRUE(background.chooseImageButton()->isVisible());
    EXPECT_EQ(background.chooseImageButton()->text(), "Choose Image…");
    QImage picture(200, 100, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const fs::path file = dir / "backdrop.png";
    ASSERT_TRUE(picture.save(QString::fromStdString(file.string())));
    QTest::mouseClick(background.chooseImageButton(), Qt::LeftButton);
    ASSERT_TRUE(background.imageDialog());
    background.imageDialog()->selectFile(QString::fromStdString(file.string()));
    static_cast<QDialog*>(background.imageDialog())->accept();
    EXPECT_EQ(style().background, BackgroundStyle::image(file.string()));
    EXPECT_EQ(background.imageName()->text(), "backdrop.png");
    EXPECT_EQ(background.changeImageButton()->text(), "Change…");
    EXPECT_EQ(background.imageThumbnail()->size(), QSize(44, 44));
    ASSERT_TRUE(waitUntil([&] { return !background.imageThumbnail()->pixmap().isNull(); }));
    ASSERT_TRUE(waitUntil([&] { return document().isStyleApplied(); }));
}

// The camera and click sections show only when the recording has them.
TEST_F(InspectorTest, SectionsFollowTheRecordingSlidersShowTheirValuesEditsAreSaved400MsLater) {
    InspectorView& inspector = openInspector();
    EXPECT_TRUE(inspector.cameraSection()->isVisibleTo(window));
    EXPECT_TRUE(inspector.clicksSection()->isVisibleTo(window));
    const std::string before = readFile(document().bundleURL() / "project.json");
    QSlider* padding = inspector.paddingRow()->slider();
    QElapsedTimer sinceEdit;
    sinceEdit.start();
    padding->setValue(padding->maximum());
    EXPECT_EQ(inspector.paddingRow()->valueText(), "20%");
    ASSERT_TRUE(waitUntil([&] { return style().paddingFraction == 0.2; }));
    ASSERT_TRUE(
        waitUntil([&] { return readFile(document().bundleURL() / "project.json") != before; }));
    EXPECT_GE(sinceEdit.elapsed(), 400);
    EXPECT_EQ(readProjectFile(document().bundleURL()).style->paddingFraction, 0.2);

    QSlider* size = inspector.bubbleSizeRow()->slider();
    size->setValue(size->minimum());
    EXPECT_EQ(inspector.bubbleSizeRow()->valueText(), "10%");
    inspector.cornersRow()->slider()->setValue(inspector.cornersRow()->slider()->maximum());
    EXPECT_EQ(inspector.cornersRow()->valueText(), "80");
    inspector.shadowOpacityRow()->slider()->setValue(0);
    EXPECT_EQ(inspector.shadowOpacityRow()->valueText(), "0%");
    inspector.shadowSoftnessRow()->slider()->setValue(
        inspector.shadowSoftnessRow()->slider()->maximum());
    EXPECT_EQ(inspector.shadowSoftnessRow()->valueText(), "120");
    ASSERT_TRUE(waitUntil([&] { return style().shadow.blur == 120; }));
    // The shadow's offset and the bubble's margin have no control: kept.
    EXPECT_EQ(std::tuple(style().webcam.sizeFraction, style().cornerRadius, style().shadow.opacity,
                         style().shadow.offsetY, style().webcam.marginFraction),
              std::tuple(0.1, 80.0, 0.0, 14.0, 0.035));

    inspector.aspectPicker()->activated(inspector.aspectPicker()->findText("9:16"));
    EXPECT_EQ(style().aspect, AspectPreset::vertical9x16);
    QTest::mouseClick(inspector.showCameraSwitch(), Qt::LeftButton);
    EXPECT_TRUE(style().webcam.hidden);
    clickSegment(inspector.shapePicker(), 1);
    EXPECT_EQ(style().webcam.shape, WebcamSpec::Shape::roundedRect);
    EXPECT_TRUE(inspector.ripplesSwitch()->isChecked());  // absent means on
    QTest::mouseClick(inspector.ripplesSwitch(), Qt::LeftButton);
    EXPECT_EQ(style().clickRipples, std::optional<bool>(false));
    QTest::mouseClick(inspector.ripplesSwitch(), Qt::LeftButton);
    EXPECT_EQ(style().clickRipples, std::optional<bool>(true));

    const fs::path plain =
        testing::writeEditorRecording(dir / "Plain", {.webcam = false, .clicks = false});
    InspectorView& without = *openLoaded(plain).editorView()->inspector();
    EXPECT_FALSE(without.cameraSection()->isVisibleTo(without.window()));
    EXPECT_FALSE(without.clicksSection()->isVisibleTo(without.window()));
}

TEST_F(InspectorTest, PresetsAreSavedUnderTrimmedNamesAppliedAndDeleted) {
    PresetsMenuButton& manage = *openInspector().presetsButton();
    EXPECT_EQ(manage.text(), "Manage");
    const auto action = [](QMenu* menu, const QString& text) -> QAction* {
        for (QAction* a : menu->actions()) {
            if (a->text() == text) {
                return a;
            }
        }
        return nullptr;
    };
    action(manage.presetsMenu(), "Save Current As…")->trigger();
    SavePresetPopover& popover = *manage.savePopover();
    ASSERT_TRUE(popover.isVisible());
    EXPECT_EQ(popover.nameField()->placeholderText(), "Preset name");
    EXPECT_EQ(popover.nameField()->width(), 180);
    QTest::keyClicks(popover.nameField(), " \t ");
    QTest::keyClick(popover.nameField(), Qt::Key_Return);
    EXPECT_TRUE(presets.presets().empty());
    EXPECT_TRUE(popover.isVisible());
    popover.nameField()->clear();
    QTest::keyClicks(popover.nameField(), "  Talk ");
    QTest::keyClick(popover.nameField(), Qt::Key_Return);
    ASSERT_EQ(presets.presets().size(), 1u);
    EXPECT_EQ(presets.presets()[0].name, "Talk");
    EXPECT_EQ(presets.presets()[0].style, style());
    EXPECT_FALSE(popover.isVisible());

    StyleSettings saved = style();
    StyleSettings changed = saved;
    changed.cornerRadius = 3;
    document().setStyle(changed);
    QApplication::processEvents();  // the menu is rebuilt after the change
    ASSERT_NE(action(manage.presetsMenu(), "Talk"), nullptr);
    action(manage.presetsMenu(), "Talk")->trigger();
    EXPECT_EQ(style(), saved);
    QMenu* remove = action(manage.presetsMenu(), "Delete")->menu();
    ASSERT_NE(remove, nullptr);
    action(remove, "Talk")->trigger();
    EXPECT_TRUE(presets.presets().empty());
    QApplication::processEvents();
    EXPECT_FALSE(action(manage.presetsMenu(), "Delete")->isEnabled());
}

TEST_F(InspectorTest, TheExportSheetExportsShowsProgressCancelsAndRevealsTheMovie) {
    openInspector();
    userPreferences().setExportFilenamePattern("{{name}} final");
    document().setExportRequested(true);
    ExportSheet* sheet = window->exportSheet();
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    EXPECT_EQ(sheet->windowTitle(), "Export Video");
    EXPECT_EQ(sheet->codecPicker()->label(sheet->codecPicker()->currentIndex()), "H.264");
    EXPECT_EQ(sheet->resolutionPicker()->label(1), "1080p");
    EXPECT_EQ(sheet->resolutionPicker()->currentIndex(), 0);  // Native

    const auto chooseAndExport = [&](const fs::path& file) {
        QTest::mouseClick(sheet->exportButton(), Qt::LeftButton);
        ASSERT_TRUE(sheet->destinationDialog());
        EXPECT_EQ(sheet->destinationDialog()->selectedFiles().value(0),
                  QString::fromStdString((moviesDirectory() / "Demo final.mp4").string()));
        sheet->destinationDialog()->selectFile(QString::fromStdString(file.string()));
        static_cast<QDialog*>(sheet->destinationDialog())->accept();
    };
    // Started, then cancelled: no movie, no message, the sheet closes.
    chooseAndExport(dir / "cancelled.mp4");
    EXPECT_TRUE(sheet->showsProgress());
    EXPECT_EQ(sheet->progressBar()->width(), 260);
    EXPECT_FALSE(sheet->exportButton()->isVisible());
    QTest::mouseClick(sheet->cancelExportButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return window->exportSheet() == nullptr; }));
    EXPECT_FALSE(document().exportProgress());
    EXPECT_FALSE(document().errorMessage());
    EXPECT_FALSE(document().exportRequested());
    EXPECT_FALSE(fs::exists(dir / "cancelled.mp4"));

    // Again, in HEVC, closing the window meanwhile: asked, kept to the end,
    // the movie is revealed and the window closes.
    document().setExportRequested(true);
    sheet = window->exportSheet();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet));
    EXPECT_EQ(sheet->codecPicker()->currentIndex(), 0);  // default options again
    clickSegment(sheet->codecPicker(), 1);
    EXPECT_EQ(sheet->options().codec, ExportOptions::Codec::hevc);
    chooseAndExport(dir / "Demo.mp4");
    window->close();
    ExportQuestion* question = window->exportQuestion();
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(question->title()->text(), "“Demo” is still exporting");
    EXPECT_EQ(question->message()->text(),
              "Keep exporting and this window closes when the movie is ready, or cancel the "
              "export and close it now.");
    EXPECT_EQ(question->cancelButton()->text(), "Cancel Export");
    EXPECT_EQ(question->keepButton()->text(), "Keep Exporting");
    QTest::mouseClick(question->keepButton(), Qt::LeftButton);
    QPointer<EditorWindow> open = window;
    ASSERT_TRUE(waitUntil([&] { return !open || !open->isVisible(); }, 120000));
    EXPECT_EQ(revealed, (std::vector<fs::path>{dir / "Demo.mp4"}));
    const std::vector<Json> video =
        testing::streamsOf(testing::probeMovie(dir / "Demo.mp4"), "video");
    ASSERT_EQ(video.size(), 1u);
    EXPECT_EQ(video[0]["codec_name"], "hevc");
}

}  // namespace
}  // namespace zarvex
