#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <filesystem>
#include <vector>

#include "editor/style_rules.h"

#include <QColorDialog>
#include <QFileDialog>
class QLabel;
class QPushButton;
class QStackedWidget;

namespace zarvex {

class ColorSwatch;
class GradientSwatch;
class ProjectDocument;
class SegmentedControl;
class SliderRow;

// The inspector's background editor: the "Gradients", "Solid" and "Image"
// tabs, the built-in gradient swatches with the angle, the solid swatches with
// the colour well, and the image with its thumbnail and file dialog.
class BackgroundSection : public QWidget {
    Q_OBJECT
  public:
    explicit BackgroundSection(ProjectDocument& document, QWidget* parent = nullptr);

    BackgroundKind kind() const { return kind_; }
    // Picks a tab as the user does (switching the background's kind).
    void chooseTab(BackgroundKind kind);
    // Shows the style's values; the tab follows the background's kind when
    // that has changed (or when `resetTab`).
    void showStyle(bool resetTab = false);

    SegmentedControl* tabs() const { return tabs_; }
    const std::vector<GradientSwatch*>& gradientSwatches() const { return gradientSwatches_; }
    const std::vector<ColorSwatch*>& solidSwatches() const { return solidSwatches_; }
    ColorSwatch* colorWell() const { return colorWell_; }
    SliderRow* angleRow() const { return angleRow_; }
    QLabel* imageThumbnail() const { return thumbnail_; }
    QLabel* imageName() const { return imageName_; }
    QPushButton* changeImageButton() const { return changeImage_; }
    QPushButton* chooseImageButton() const { return chooseImage_; }
    // The dialogs while they are open.
    QFileDialog* imageDialog() const { return imageDialog_; }
    QColorDialog* colorDialog() const { return colorDialog_; }
    void openImageDialog();
    void openColorDialog();

  private:
    QWidget* gradientsPage();
    QWidget* solidPage();
    QWidget* imagePage();
    void setBackground(const BackgroundStyle& background);
    void showImage(const std::string& path);

    ProjectDocument& document_;
    BackgroundKind kind_ = BackgroundKind::gradients;
    BackgroundKind shownKindOfStyle_ = BackgroundKind::gradients;
    SegmentedControl* tabs_;
    QStackedWidget* pages_;
    std::vector<GradientSwatch*> gradientSwatches_;
    std::vector<ColorSwatch*> solidSwatches_;
    ColorSwatch* colorWell_ = nullptr;
    SliderRow* angleRow_ = nullptr;
    QStackedWidget* imageStates_ = nullptr;
    QLabel* thumbnail_ = nullptr;
    QLabel* imageName_ = nullptr;
    QPushButton* changeImage_ = nullptr;
    QPushButton* chooseImage_ = nullptr;
    std::string thumbnailPath_;
    QPointer<QFileDialog> imageDialog_;
    QPointer<QColorDialog> colorDialog_;
};

// A thumbnail of an image file, `side` points square (cropped to fill), for a
// device pixel ratio; a null image when the file cannot be read. Safe on any
// thread.
QImage loadThumbnail(const std::filesystem::path& path, int side, double devicePixelRatio);

}  // namespace zarvex
