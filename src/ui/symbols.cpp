#include "ui/symbols.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QSvgRenderer>

namespace zarvex {
namespace {

QString symbolPath(const QString& name) {
    return QStringLiteral(":/zarvex/symbols/%1.svg").arg(name);
}

// Keeps the symbol's shape and drops its ink colour: dark ink becomes the
// colour at full strength, light ink (the cut-outs) becomes transparent.
void tint(QImage& image, const QColor& color) {
    const QRgb ink = color.rgba();
    const int alpha = qAlpha(ink);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = line[x];
            const int a = qAlpha(p);
            if (a == 0) {
                continue;
            }
            // Premultiplied: the ink's lightness is (component / alpha).
            const int lightness = (qRed(p) + qGreen(p) + qBlue(p)) / 3;
            const int coverage = (a - lightness) * alpha / 255;
            line[x] = qPremultiply(qRgba(qRed(ink), qGreen(ink), qBlue(ink), coverage));
        }
    }
}

class SymbolEngine : public QIconEngine {
  public:
    SymbolEngine(QString name, QColor color) : name_(std::move(name)), color_(std::move(color)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const double ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, ratio));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State, qreal scale) override {
        const QColor color = colorFor(mode);
        const QString key = QStringLiteral("zarvex-symbol:%1:%2x%3@%4:%5")
                                .arg(name_)
                                .arg(size.width())
                                .arg(size.height())
                                .arg(scale)
                                .arg(color.rgba(), 8, 16);
        QPixmap pixmap;
        if (!QPixmapCache::find(key, &pixmap)) {
            pixmap = QPixmap::fromImage(symbolImage(name_, size, color, scale));
            QPixmapCache::insert(key, pixmap);
        }
        return pixmap;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QString key() const override { return QStringLiteral("zarvex-symbol"); }
    QIconEngine* clone() const override { return new SymbolEngine(name_, color_); }
    bool isNull() override { return !hasSymbol(name_); }
    QString iconName() override { return name_; }

  private:
    QColor colorFor(QIcon::Mode mode) const {
        const QPalette palette = QGuiApplication::palette();
        if (mode == QIcon::Disabled) {
            QColor base = color_.isValid() ? color_ : palette.color(QPalette::ButtonText);
            base.setAlphaF(base.alphaF() * 0.4f);
            return base;
        }
        if (color_.isValid()) {
            return color_;
        }
        return mode == QIcon::Selected ? palette.color(QPalette::HighlightedText)
                                       : palette.color(QPalette::ButtonText);
    }

    QString name_;
    QColor color_;
};

}  // namespace

QStringList symbolNames() {
    QStringList names;
    for (const QString& file : QDir(QStringLiteral(":/zarvex/symbols")).entryList(QDir::Files)) {
        names.append(file.chopped(4));  // ".svg"
    }
    names.sort();
    return names;
}

bool hasSymbol(const QString& name) {
    return !name.isEmpty() && QFile::exists(symbolPath(name));
}

QImage symbolImage(const QString& name, const QSize& size, const QColor& color,
                   double devicePixelRatio) {
    QSvgRenderer renderer(symbolPath(name));
    if (!renderer.isValid() || size.isEmpty()) {
        return {};
    }
    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        // Keep the symbol's aspect ratio, centred.
        QSizeF drawn = renderer.defaultSize();
        drawn.scale(pixels, Qt::KeepAspectRatio);
        renderer.render(&painter, QRectF(QPointF((pixels.width() - drawn.width()) / 2,
                                                 (pixels.height() - drawn.height()) / 2),
                                         drawn));
    }
    tint(image, color);
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

QIcon symbolIcon(const QString& name) {
    return QIcon(new SymbolEngine(name, QColor()));
}

QIcon symbolIcon(const QString& name, const QColor& color) {
    return QIcon(new SymbolEngine(name, color));
}

}  // namespace zarvex
