#pragma once

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QWidget>

namespace zarvex {

// A segmented picker: one segment per choice, exactly one selected (or none,
// index -1). Draws in the theme's colours; arrow keys move the selection.
// A fixed width is shared evenly by the segments.
class SegmentedControl : public QWidget {
    Q_OBJECT
  public:
    explicit SegmentedControl(const QStringList& labels = {}, QWidget* parent = nullptr);

    // Labels and optional symbol names (see symbols.h), one per segment.
    void setSegments(const QStringList& labels, const QStringList& symbols = {});
    int count() const { return static_cast<int>(labels_.size()); }
    QString label(int index) const { return labels_.value(index); }

    // A disabled segment cannot be picked and shows `toolTip` (when given)
    // under the pointer.
    void setSegmentEnabled(int index, bool enabled, const QString& toolTip = {});
    bool isSegmentEnabled(int index) const { return !disabled_.contains(index); }
    QString segmentToolTip(int index) const { return toolTips_.value(index); }

    int currentIndex() const { return current_; }
    // Selects without emitting activated; emits currentIndexChanged when it changes.
    void setCurrentIndex(int index);

    // The segment under a point; -1 outside.
    int segmentAt(const QPoint& point) const;
    QRect segmentRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

  signals:
    void currentIndexChanged(int index);
    // The user picked a segment (also when it was already selected).
    void activated(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void pick(int index);

    QStringList labels_;
    QStringList symbols_;
    int current_ = -1;
    QSet<int> disabled_;
    QHash<int, QString> toolTips_;
};

}  // namespace zarvex
