// The preview and the transport driven like a user would: play and pause
// inside the trim, the scrubber and click markers, mute and volume, the trim
// handles, dragging the webcam bubble, and editing zoom segments.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include "editor/editor_header.h"
#include "editor/editor_view.h"
#include "editor/player_time_model.h"
#include "editor/player_view.h"
#include "editor/slider_row.h"
#include "editor/style_column.h"
#include "editor/swatches.h"
#include "editor/timeline.h"
#include "editor/transport_bar.h"
#include "editor/trim_range_slider.h"
#include "editor/trim_rules.h"
#include "editor/zoom_editor.h"
#include "editor/zoom_lane.h"
#include "editor/zoom_section.h"
#include "editor_fixture.h"
#include "render/project_document.h"
#include "ui/toggle_switch.h"

namespace zarvex {
namespace {

namespace fs = std::filesystem;
using testing::waitUntil;

class PlayerTransportTest : public testing::EditorTest {
  protected:
    void SetUp() override {
        window = &openLoaded(testing::writeEditorRecording(dir / "Demo"));
        view = window->editorView();
        transport = view->transport();
    }
    ProjectDocument& document() { return window->document(); }
    PlayerTimeModel& time() { return view->playerView()->time(); }

    EditorWindow* window = nullptr;
    EditorView* view = nullptr;
    TransportBar* transport = nullptr;
};

TEST_F(PlayerTransportTest, PlayingStaysInsideTheTrimRange) {
    EXPECT_EQ(transport->durationLabel()->text(), "0:02");
    EXPECT_EQ(transport->playButton()->toolTip(), "Play");
    document().setTrimStart(0.5);
    document().setTrimEnd(1.2);
    time().seek(1.2);  // at the trim end: playing starts over at its start
    QTest::mouseClick(transport->playButton(), Qt::LeftButton);
    EXPECT_TRUE(time().isPlaying());
    EXPECT_EQ(transport->playButton()->toolTip(), "Pause");
    ASSERT_TRUE(waitUntil([&] { return time().current() > 0.6 && time().current() < 1.15; }));
    ASSERT_TRUE(waitUntil([&] { return !time().isPlaying(); }));  // stopped at the trim end
    EXPECT_NEAR(time().current(), 1.2, 0.05);
    EXPECT_EQ(transport->currentLabel()->text(), "0:01");

    // Space plays too (the window's shortcut); a text field keeps it for typing.
    ASSERT_TRUE(waitUntil([&] { return window->isActiveWindow(); }));
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_TRUE(time().isPlaying());
    QTest::keyClick(window, Qt::Key_Space);
    EXPECT_FALSE(time().isPlaying());
    EditorHeader* header = view->header();
    header->beginEditingName();
    QTest::keyClicks(header->nameField(), "a b");
    EXPECT_EQ(header->nameField()->text(), "a b");
    EXPECT_FALSE(time().isPlaying());
    header->cancelEditingName();

    time().seek(0.7);  // inside: on from the playhead, and a second click pauses
    QTest::mouseClick(transport->playButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return time().current() > 0.75; }));
    QTest::mouseClick(transport->playButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !time().isPlaying(); }));
    EXPECT_GT(time().current(), 0.7);
    EXPECT_LT(time().current(), 1.2);
}

TEST_F(PlayerTransportTest, TheScrubberAndTheClickMarkersSeekAndTheVolumeReachesThePlayer) {
    ClickMarkerStrip* markers = transport->markers();
    EXPECT_EQ(markers->times(), (std::vector<double>{0.5, 1.25}));
    QTest::mouseClick(markers, Qt::LeftButton, {},
                      QPoint(qRound(markers->positionOf(1.25)) + 2, markers->height() / 2));
    ASSERT_TRUE(waitUntil([&] { return document().player().currentTime().seconds() == 1.25; }));
    EXPECT_EQ(time().current(), 1.25);

    TimelineScrubber* scrubber = transport->scrubber();
    const int y = scrubber->height() / 2;
    using testing::sendMouse;
    sendMouse(scrubber, QEvent::MouseButtonPress, QPoint(qRound(scrubber->positionOf(0.4)), y));
    EXPECT_TRUE(time().isScrubbing());
    EXPECT_NEAR(time().current(), 0.4, 0.02);
    sendMouse(scrubber, QEvent::MouseMove, QPoint(qRound(scrubber->positionOf(1.6)), y));
    sendMouse(scrubber, QEvent::MouseButtonRelease, QPoint(qRound(scrubber->positionOf(1.6)), y),
              Qt::NoButton);
    EXPECT_FALSE(time().isScrubbing());
    EXPECT_NEAR(time().current(), 1.6, 0.02);
    ASSERT_TRUE(waitUntil(
        [&] { return std::abs(document().player().currentTime().seconds() - 1.6) < 0.02; }));

    // Mute and volume reach the player.
    EXPECT_EQ(transport->volumeSlider()->width(), 64);
    EXPECT_EQ(transport->muteButton()->toolTip(), "Mute");
    QTest::mouseClick(transport->muteButton(), Qt::LeftButton);
    EXPECT_TRUE(document().player().isMuted());
    EXPECT_EQ(transport->muteButton()->toolTip(), "Unmute");
    QTest::mouseClick(transport->muteButton(), Qt::LeftButton);
    EXPECT_FALSE(document().player().isMuted());
    transport->volumeSlider()->setValue(250);
    EXPECT_FLOAT_EQ(document().player().volume(), 0.25f);
    EXPECT_FLOAT_EQ(time().volume(), 0.25f);
}

TEST_F(PlayerTransportTest, TrimHandlesSnapToTheEndsAndKeepTheirSpan) {
    EXPECT_EQ(transport->trimButton()->toolTip(), "Trim");
    QTest::mouseClick(transport->trimButton(), Qt::LeftButton);
    ASSERT_TRUE(transport->trimMode());
    TrimRangeSlider* slider = transport->trimSlider();
    ASSERT_TRUE(slider->isVisible());
    EXPECT_FALSE(transport->scrubber()->isVisible());
    const double duration = document().duration().seconds();
    const int y = slider->height() / 2;
    const auto drag = [&](QPointF from, double toX) {
        testing::drag(slider, from, QPointF(toX, y));
    };

    // Grabbed one point inside its inner edge, the end handle's edge follows the pointer.
    drag(slider->endHandleRect().center() - QPointF(kTrimHandleSize / 2 - 1, 0),
         slider->positionOf(0.9) + 1);
    ASSERT_TRUE(document().trimEnd());
    EXPECT_NEAR(*document().trimEnd(), 0.9, 0.02);
    EXPECT_EQ(document().player().currentItem()->forwardPlaybackEndTime,
              MediaTime::fromSeconds(*document().trimEnd()));
    drag(slider->endHandleRect().center(), 0);
    EXPECT_NEAR(*document().trimEnd(), 0.2, 1e-9);  // the start is 0
    drag(slider->endHandleRect().center(), slider->width() + 40);
    EXPECT_FALSE(document().trimEnd());
    // The start handle pushed against the end stops 0.2 s before it.
    drag(slider->startHandleRect().center(), slider->width() - 2);
    ASSERT_TRUE(document().trimStart());
    EXPECT_NEAR(*document().trimStart(), duration - 0.2, 1e-9);

    QTest::mouseClick(transport->trimButton(), Qt::LeftButton);
    EXPECT_FALSE(transport->trimMode());
    EXPECT_TRUE(transport->scrubber()->isVisible());
}

TEST_F(PlayerTransportTest, DraggingTheBubblePlacesItOnTheCanvasAndSavesIt) {
    PlayerView* player = view->playerView();
    const QRectF bubble = player->bubbleRect();
    ASSERT_FALSE(bubble.isEmpty());
    // The 320 × 240 canvas's bubble (0.24 of its height) at the bottom right.
    const QRectF video = player->videoRect();
    EXPECT_NEAR(bubble.width(), 0.24 * 240 * video.width() / 320, 1e-6);
    EXPECT_LT(bubble.right(), video.right());

    QWidget* overlay = player->childAt(bubble.center().toPoint());
    ASSERT_NE(overlay, nullptr);
    const auto mouse = [&](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        testing::sendMouse(overlay, type, at, buttons);
    };
    const QPoint start = bubble.center().toPoint();
    mouse(QEvent::MouseMove, start, Qt::NoButton);
    EXPECT_TRUE(player->hovering());
    ASSERT_TRUE(waitUntil([&] { return player->outlineOpacity() == 0.5; }));
    mouse(QEvent::MouseButtonPress, start, Qt::LeftButton);
    mouse(QEvent::MouseMove, start + QPoint(6, 0), Qt::LeftButton);  // under 10 points
    EXPECT_FALSE(player->draggingBubble());
    EXPECT_FALSE(document().style().webcam.positionX);
    mouse(QEvent::MouseMove, start - QPoint(40, 30), Qt::LeftButton);
    EXPECT_TRUE(player->draggingBubble());
    ASSERT_TRUE(waitUntil([&] { return player->outlineOpacity() == 0.9; }));
    // Far beyond the top-left of the preview: the bubble stays on the canvas.
    const QPoint outside(-400, -400);
    mouse(QEvent::MouseMove, outside, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, outside, Qt::NoButton);
    EXPECT_FALSE(player->draggingBubble());
    const WebcamSpec& webcam = document().style().webcam;
    ASSERT_TRUE(webcam.positionX && webcam.positionY);
    EXPECT_DOUBLE_EQ(*webcam.positionX, 240 * 0.24 * 0.5 / 320);
    EXPECT_DOUBLE_EQ(*webcam.positionY, 1 - 0.24 * 0.5);
    EXPECT_NEAR(player->bubbleRect().left(), video.left(), 1e-6);
    EXPECT_NEAR(player->bubbleRect().top(), video.top(), 1e-6);
    const auto litCorners = [&] {  // a bit for each corner button that is lit
        int lit = 0;
        for (int i = 0; i < 4; ++i) {
            lit |= view->inspector()->cornerButton(i)->isChecked() << i;
        }
        return lit;
    };
    EXPECT_EQ(litCorners(), 0);  // off its corner's place: none lit
    waitUntilSaved(document());
    EXPECT_EQ(readProjectFile(document().bundleURL()).style->webcam, webcam);

    // Choosing a corner brings it back there.
    QTest::mouseClick(view->inspector()->cornerButton(3), Qt::LeftButton);
    EXPECT_EQ(std::tuple(webcam.corner, webcam.positionX, webcam.positionY),
              std::tuple(WebcamSpec::Corner::bottomRight, std::nullopt, std::nullopt));
    EXPECT_EQ(litCorners(), 1 << 3);

    // Dragged away and back onto that corner's place: the corner stays lit.
    const QPoint home = player->bubbleRect().center().toPoint();
    mouse(QEvent::MouseButtonPress, home, Qt::LeftButton);
    mouse(QEvent::MouseMove, home - QPoint(40, 30), Qt::LeftButton);
    EXPECT_EQ(litCorners(), 0);
    mouse(QEvent::MouseMove, home, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, home, Qt::NoButton);
    EXPECT_TRUE(document().style().webcam.positionX);
    EXPECT_EQ(litCorners(), 1 << 3);
}

// The recording is 2 s long with clicks at 0.5 s and 1.25 s.
TEST_F(PlayerTransportTest, ZoomSegmentsAreEditedInTheLaneTheSectionAndThePreview) {
    ZoomEditor& zoom = *view->zoomEditor();
    ZoomSection* section = view->inspector()->zoomSection();
    ZoomLane* lane = transport->findChild<ZoomLane*>();
    ASSERT_TRUE(section && lane);
    EXPECT_FALSE(section->scaleRow()->isEnabled());
    const auto segment = [&] { return zoom.segments().at(0); };
    const int y = lane->height() / 2;

    // Auto on: the two clicks share one segment, from 0.4 s before the first
    // to the recording's end.
    QTest::mouseClick(section->autoSwitch(), Qt::LeftButton);
    ASSERT_EQ(zoom.segments().size(), 1u);
    EXPECT_NEAR(segment().start, 0.1, 1e-6);
    EXPECT_NEAR(segment().end, 2.0, 0.02);
    EXPECT_TRUE(segment().automatic);

    // A click selects it and moves the playhead to where it is fully zoomed.
    time().seek(0);
    QTest::mouseClick(lane, Qt::LeftButton, {}, lane->barRect(0).center().toPoint());
    EXPECT_EQ(zoom.selected(), 0);
    EXPECT_NEAR(time().current(), 0.7, 1e-6);
    EXPECT_TRUE(section->scaleRow()->isEnabled());
    EXPECT_EQ(section->scaleRow()->valueText(), "2.0×");

    // Its end dragged to 1.2 s, then past its start: never under 1 s.
    testing::drag(lane, {lane->barRect(0).right(), double(y)}, {lane->positionOf(1.2), double(y)});
    EXPECT_NEAR(segment().end, 1.2, 0.02);
    EXPECT_FALSE(segment().automatic);  // the user's now
    testing::drag(lane, {lane->barRect(0).right(), double(y)}, {lane->positionOf(0.2), double(y)});
    EXPECT_NEAR(segment().end - segment().start, 1.0, 1e-9);
    // Moved by its middle: half a second later, the same length.
    const double start = segment().start;
    testing::drag(
        lane, lane->barRect(0).center(),
        lane->barRect(0).center() + QPointF(lane->positionOf(0.5) - lane->positionOf(0), 0));
    EXPECT_NEAR(segment().start, start + 0.5, 0.02);
    EXPECT_NEAR(segment().end - segment().start, 1.0, 1e-9);

    // The scale slider; then auto off keeps the user's segment.
    section->scaleRow()->slider()->setValue(section->scaleRow()->stepOf(3.0));
    ASSERT_TRUE(waitUntil([&] { return segment().scale == 3.0; }));
    QTest::mouseClick(section->autoSwitch(), Qt::LeftButton);
    EXPECT_FALSE(document().zoom()->autoZoom);
    ASSERT_EQ(zoom.segments().size(), 1u);

    // Delete removes the selected one.
    QTest::mouseClick(lane, Qt::LeftButton, {}, lane->barRect(0).center().toPoint());
    ASSERT_TRUE(waitUntil([&] { return window->isActiveWindow(); }));
    QTest::keyClick(lane, Qt::Key_Delete);
    EXPECT_TRUE(zoom.segments().empty());
    EXPECT_EQ(zoom.selected(), -1);

    // "Add Zoom" at the playhead: up to 2 s, within the recording, selected.
    time().seek(0.3);
    QTest::mouseClick(section->addButton(), Qt::LeftButton);
    ASSERT_EQ(zoom.segments().size(), 1u);
    EXPECT_EQ((std::pair{segment().start, segment().scale}), (std::pair{0.3, 2.0}));
    EXPECT_NEAR(segment().end, 2.0, 0.02);
    EXPECT_EQ(zoom.selected(), 0);

    // Dragging the picture moves the centre the other way, as if held.
    PlayerView* player = view->playerView();
    const QRectF screen = player->screenRect();
    QWidget* overlay = player->childAt(screen.center().toPoint());
    ASSERT_NE(overlay, nullptr);
    testing::drag(overlay, screen.center(), screen.center() - QPointF(0.1 * screen.width(), 0));
    EXPECT_NEAR(segment().x, 0.55, 0.01);
    EXPECT_NEAR(segment().y, 0.5, 0.01);
    waitUntilSaved(document());
    EXPECT_EQ(readProjectFile(document().bundleURL()).zoom, document().zoom());
}

}  // namespace
}  // namespace zarvex
