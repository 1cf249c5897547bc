#pragma once

#include <QObject>

#include <functional>
#include <optional>
#include <vector>

#include "editor/zoom_rules.h"

namespace zarvex {

class ProjectDocument;

// The controller of zoom editing in one editor window: which segment is
// selected, and every edit of the lane, the inspector's Zoom section and the
// centre drag in the preview, each written through the document (which
// redraws and saves). Main thread only.
class ZoomEditor : public QObject {
    Q_OBJECT
  public:
    explicit ZoomEditor(ProjectDocument& document, QObject* parent = nullptr);

    // Set by the window: moves the playhead, and reads it.
    std::function<void(double)> seek;
    std::function<double()> playhead;

    const std::vector<ZoomSegment>& segments() const;
    bool autoZoom() const;
    double duration() const;

    // The selected segment's index, −1 for none.
    int selected() const { return selected_; }
    const ZoomSegment* selectedSegment() const;
    // Selects a segment (−1: none); the playhead moves into it, to where it
    // is fully zoomed, unless it is inside already.
    void select(int index);

    void moveSelected(double start);
    void resizeSelected(ZoomEdge edge, double time);
    void removeSelected();
    // Adds a segment at the playhead and selects it; false when there is no room.
    bool add();
    void setSelectedScale(double scale);
    void setAutoZoom(bool on);

    // Dragging the selected segment's centre in the preview: the picture
    // follows the pointer. `dx` and `dy` are the pointer's travel since the
    // drag began, as fractions of the screen picture's width and height.
    void beginCentreDrag();
    void dragCentre(double dx, double dy);

  signals:
    void selectionChanged();
    void zoomChanged();

  private:
    void apply(const ZoomSettings& zoom);

    ProjectDocument& document_;
    int selected_ = -1;
    struct CentreDrag {
        int pan = -1;
        double x = 0.5;
        double y = 0.5;
        double scale = 1;
    };
    std::optional<CentreDrag> centreDrag_;
};

}  // namespace zarvex
