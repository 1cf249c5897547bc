#include "editor/background_section.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStackedWidget>
#include <QStandardPaths>
#include <QVBoxLayout>

#include "editor/chrome.h"
#include "editor/slider_row.h"
#include "editor/swatches.h"
#include "media/image_loader.h"
#include "model/color.h"
#include "render/off_main_thread.h"
#include "render/project_document.h"
#include "render/scaler.h"
#include "ui/look.h"
#include "ui/segmented_control.h"
#include "ui/symbols.h"

namespace zarvex {
namespace {

constexpr int kSwatchSpacing = 8;
constexpr int kThumbnailSide = 44;
const QString kImageFilter =
    QStringLiteral("Images (*.png *.jpg *.jpeg *.webp *.tif *.tiff *.bmp *.gif)");

QColor qColorOf(const std::string& hex) {
    return toQColor(colorFromHex(hex));
}

}  // namespace

QImage loadThumbnail(const std::filesystem::path& path, int side, double devicePixelRatio) {
    // FFmpeg decodes and our scaler shrinks, on the calling thread only: Qt's
    // smooth scaling would split a large photo into jobs on the pool that
    // painting on the main thread waits for.
    const std::optional<VideoFrame> picture = loadImage(path);
    if (!picture || picture->empty() || picture->format != PixelFormat::bgra) {
        return {};
    }
    const int pixels = qMax(1, qRound(side * devicePixelRatio));
    // Scaled to cover the square, centred, the rest cut off.
    const double scale =
        std::max(double(pixels) / picture->width, double(pixels) / picture->height);
    const int width = std::max(pixels, int(std::lround(picture->width * scale)));
    const int height = std::max(pixels, int(std::lround(picture->height * scale)));
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    ScaleScratch scratch;
    scalePicture(*picture, {0, 0, picture->width, picture->height}, width, height,
                 {(width - pixels) / 2, (height - pixels) / 2, pixels, pixels}, image.bits(),
                 int(image.bytesPerLine()), scratch);
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

BackgroundSection::BackgroundSection(ProjectDocument& document, QWidget* parent)
    : QWidget(parent), document_(document) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    QStringList labels;
    for (BackgroundKind kind : allCases<BackgroundKind>()) {
        labels << QString::fromLatin1(rawValue(kind).data(), int(rawValue(kind).size()));
    }
    tabs_ = new SegmentedControl(labels);
    tabs_->setAccessibleName(QStringLiteral("Background type"));
    connect(tabs_, &SegmentedControl::activated, this,
            [this](int index) { chooseTab(allCases<BackgroundKind>()[std::size_t(index)]); });
    column->addWidget(tabs_);
    pages_ = new QStackedWidget;
    pages_->addWidget(gradientsPage());
    pages_->addWidget(solidPage());
    pages_->addWidget(imagePage());
    column->addWidget(pages_);
    showStyle(true);
}

QWidget* BackgroundSection::gradientsPage() {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    for (const GradientCollection& collection : GradientCollection::builtIn()) {
        column->addWidget(
            roleLabel(QString::fromStdString(collection.name), QStringLiteral("caption")));
        auto* grid = new QGridLayout;
        grid->setSpacing(kSwatchSpacing);
        grid->setContentsMargins(-4, -4, -4, 0);  // the swatches' own room for their ring
        int position = 0;
        for (const GradientSpec& gradient : collection.gradients) {
            auto* swatch = new GradientSwatch(gradient);
            connect(swatch, &GradientSwatch::clicked, this,
                    [this, gradient] { setBackground(BackgroundStyle::gradient(gradient)); });
            gradientSwatches_.push_back(swatch);
            grid->addWidget(swatch, 0, position++);
        }
        column->addLayout(grid);
    }
    angleRow_ = new SliderRow(QStringLiteral("Angle"), kAngleRange, ValueFormat::degrees);
    connect(angleRow_, &SliderRow::valueEdited, this, [this](double angle) {
        document_.setStyle(withGradientAngle(document_.style(), angle));
    });
    column->addSpacing(6);
    column->addWidget(angleRow_);
    return page;
}

QWidget* BackgroundSection::solidPage() {
    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(-3, 0, -3, 0);
    row->setSpacing(2);
    for (const std::string& hex : zarvex::solidSwatches()) {
        auto* swatch = new ColorSwatch(qColorOf(hex));
        swatch->setCheckable(true);
        connect(swatch, &ColorSwatch::clicked, this,
                [this, hex] { setBackground(BackgroundStyle::solid(hex)); });
        solidSwatches_.push_back(swatch);
        row->addWidget(swatch);
    }
    row->addStretch(1);
    column->addLayout(row);
    auto* wellRow = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Color"));
    colorWell_ = new ColorSwatch(qColorOf(kTabSolidColor));
    colorWell_->setWell(true);
    colorWell_->setAccessibleName(QStringLiteral("Color"));
    label->setBuddy(colorWell_);
    connect(colorWell_, &ColorSwatch::clicked, this, &BackgroundSection::openColorDialog);
    wellRow->addWidget(label);
    wellRow->addStretch(1);
    wellRow->addWidget(colorWell_);
    column->addLayout(wellRow);
    return page;
}

QWidget* BackgroundSection::imagePage() {
    imageStates_ = new QStackedWidget;
    auto* chosen = new QWidget;
    auto* row = new QHBoxLayout(chosen);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    thumbnail_ = new QLabel;
    thumbnail_->setFixedSize(kThumbnailSide, kThumbnailSide);
    thumbnail_->setAlignment(Qt::AlignCenter);
    imageName_ = new QLabel;
    imageName_->setTextFormat(Qt::PlainText);
    imageName_->setMinimumWidth(40);
    imageName_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    changeImage_ = new QPushButton(QStringLiteral("Change…"));
    connect(changeImage_, &QPushButton::clicked, this, &BackgroundSection::openImageDialog);
    row->addWidget(thumbnail_);
    row->addWidget(imageName_, 1);
    row->addWidget(changeImage_);

    auto* empty = new QWidget;
    auto* emptyRow = new QHBoxLayout(empty);
    emptyRow->setContentsMargins(0, 0, 0, 0);
    chooseImage_ =
        new QPushButton(symbolIcon(QStringLiteral("photo")), QStringLiteral("Choose Image…"));
    connect(chooseImage_, &QPushButton::clicked, this, &BackgroundSection::openImageDialog);
    emptyRow->addWidget(chooseImage_);
    emptyRow->addStretch(1);

    imageStates_->addWidget(empty);
    imageStates_->addWidget(chosen);
    return imageStates_;
}

void BackgroundSection::chooseTab(BackgroundKind kind) {
    kind_ = kind;
    tabs_->setCurrentIndex(int(kind));
    showStackPage(*pages_, int(kind));
    if (const std::optional<BackgroundStyle> changed =
            backgroundForTab(kind, document_.style().background)) {
        setBackground(*changed);
    }
}

void BackgroundSection::setBackground(const BackgroundStyle& background) {
    StyleSettings style = document_.style();
    style.background = background;
    document_.setStyle(style);
}

void BackgroundSection::showStyle(bool resetTab) {
    const BackgroundStyle& background = document_.style().background;
    const BackgroundKind styleKind = backgroundKindOf(background);
    if (resetTab || styleKind != shownKindOfStyle_) {
        kind_ = styleKind;
        tabs_->setCurrentIndex(int(kind_));
        showStackPage(*pages_, int(kind_));
    }
    shownKindOfStyle_ = styleKind;

    const GradientSpec* gradient = background.asGradient();
    for (GradientSwatch* swatch : gradientSwatches_) {
        swatch->setChecked(gradient != nullptr && gradient->colors == swatch->gradient().colors);
    }
    angleRow_->setValue(shownAngle(background));
    const std::string solid = shownSolidColor(background);
    for (std::size_t i = 0; i < solidSwatches_.size(); ++i) {
        solidSwatches_[i]->setChecked(background.asSolid() != nullptr &&
                                      zarvex::solidSwatches()[i] == solid);
    }
    colorWell_->setColor(qColorOf(solid));
    const ImageBackground* image = background.asImage();
    showImage(image != nullptr ? image->path : std::string());
}

void BackgroundSection::showImage(const std::string& path) {
    showStackPage(*imageStates_, path.empty() ? 0 : 1);
    if (path.empty() || path == thumbnailPath_) {
        return;
    }
    thumbnailPath_ = path;
    const QString file = QString::fromStdString(path);
    imageName_->setText(QFileInfo(file).fileName());
    imageName_->setToolTip(file);
    thumbnail_->setPixmap({});
    // Decoding even a large photo takes a while: off the main thread.
    const double ratio = devicePixelRatioF();
    runOffMainThread<QImage>(
        this, [path, ratio] { return loadThumbnail(path, kThumbnailSide, ratio); },
        [this, path](const QImage& image) {
            if (path != thumbnailPath_) {
                return;  // another image was chosen meanwhile
            }
            if (image.isNull()) {
                thumbnail_->setPixmap(
                    symbolIcon(QStringLiteral("photo")).pixmap(QSize(24, 24), devicePixelRatioF()));
                return;
            }
            QPixmap rounded(image.size());
            rounded.setDevicePixelRatio(image.devicePixelRatio());
            rounded.fill(Qt::transparent);
            QPainter painter(&rounded);
            painter.setRenderHint(QPainter::Antialiasing);
            QPainterPath clip;
            clip.addRoundedRect(QRectF(0, 0, kThumbnailSide, kThumbnailSide), 6, 6);
            painter.setClipPath(clip);
            painter.drawImage(QPointF(0, 0), image);
            painter.end();
            thumbnail_->setPixmap(rounded);
        });
}

void BackgroundSection::openImageDialog() {
    if (imageDialog_) {
        imageDialog_->raise();
        return;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (const ImageBackground* image = document_.style().background.asImage()) {
        folder = QFileInfo(QString::fromStdString(image->path)).absolutePath();
    }
    auto* dialog = new QFileDialog(window(), QStringLiteral("Choose Image"), folder, kImageFilter);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, [this](const QString& file) {
        if (!file.isEmpty()) {
            setBackground(BackgroundStyle::image(file.toStdString()));
        }
    });
    imageDialog_ = dialog;
    dialog->open();
}

void BackgroundSection::openColorDialog() {
    if (colorDialog_) {
        colorDialog_->raise();
        return;
    }
    const BackgroundStyle before = document_.style().background;
    auto* dialog = new QColorDialog(colorWell_->color(), window());
    dialog->setWindowTitle(QStringLiteral("Color"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The preview follows the colour as it is picked; cancelling restores it.
    connect(dialog, &QColorDialog::currentColorChanged, this, [this](const QColor& color) {
        setBackground(BackgroundStyle::solid(
            hexFromColor(Color{color.redF(), color.greenF(), color.blueF(), 1})));
    });
    connect(dialog, &QColorDialog::rejected, this, [this, before] { setBackground(before); });
    colorDialog_ = dialog;
    dialog->open();
}

}  // namespace zarvex
