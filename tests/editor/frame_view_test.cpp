// The frame view on a real X server: pictures drawn by the player at the
// view's size and painted one to one, centred with the background around
// them, and the player let go of when the view goes.

#include <gtest/gtest.h>

#include "document_fixtures.h"
#include "editor/frame_view.h"
#include "gui/gui_environment.h"
#include "player_rig.h"
#include "render_fixtures.h"

namespace zarvex {
namespace {

using testing::PlayerRig;

// The view's pixels inside `area`, as BGRA.
VideoFrame grabbed(QWidget& widget, const QRect& area) {
    const QImage image =
        widget.grab(area).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    VideoFrame frame = VideoFrame::allocate(PixelFormat::bgra, image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        std::memcpy(frame.row(0, y), image.constScanLine(y), 4 * std::size_t(image.width()));
    }
    return frame;
}

class FrameViewTest : public testing::GuiTest {
  protected:
    // Shows `view` at `size` attached to the rig's player, at `time`.
    void showAt(FrameView& view, PlayerRig& rig, QSize size, double time) {
        QPalette palette = view.palette();
        palette.setColor(view.backgroundRole(), QColor(10, 20, 30));
        view.setPalette(palette);
        view.resize(size);
        view.setPlayer(&rig.player());
        view.show();
        std::vector<double> painted;
        const auto connection = QObject::connect(
            &view, &FrameView::picturePainted, [&](double seconds) { painted.push_back(seconds); });
        ASSERT_TRUE(rig.seekAndWait(MediaTime::fromSeconds(time)));
        ASSERT_TRUE(testing::processEventsUntil([&] { return !painted.empty(); }));
        EXPECT_DOUBLE_EQ(painted.back(), time);
        QObject::disconnect(connection);
    }
};

// A view that goes away lets go of the player: it draws at full size again,
// for whoever shows it next.
TEST_F(FrameViewTest, PaintsThePictureDrawnAtItsSizeCentredAndLetsGoOfThePlayerWhenItGoes) {
    PlayerRig rig;  // a 320 × 240 canvas, drawn at 150 / 240 of it: one to one on screen
    auto view = std::make_unique<FrameView>();
    showAt(*view, rig, {300, 150}, 0.25);
    EXPECT_EQ(view->videoRect(), QRectF(50, 0, 200, 150));
    EXPECT_EQ(view->picture().width, 200);
    const VideoFrame background = testing::solidFrame(50, 150, {30, 20, 10, 255});
    EXPECT_EQ(testing::maxDifference(grabbed(*view, QRect(0, 0, 50, 150)), background), 0);
    EXPECT_EQ(testing::maxDifference(grabbed(*view, QRect(250, 0, 50, 150)), background), 0);
    const VideoFrame expected = rig.reference(*rig.videoComposition(StyleSettings{}, 150.0 / 240),
                                              MediaTime::fromSeconds(0.25));
    EXPECT_EQ(testing::maxDifference(grabbed(*view, QRect(50, 0, 200, 150)), expected), 0);

    view.reset();
    rig.attachSink();
    ASSERT_TRUE(rig.seekAndWait(MediaTime::fromSeconds(0.75)));
    EXPECT_EQ(rig.sink().last()->frame.width, 320);
}

TEST_F(FrameViewTest, LargerThanTheCanvasTheFullPictureIsScaledUp) {
    PlayerRig rig;
    FrameView view;
    showAt(view, rig, {640, 480}, 1.0);
    EXPECT_EQ(view.picture().width, 320);
    EXPECT_EQ(view.videoRect(), QRectF(0, 0, 640, 480));
}

}  // namespace
}  // namespace zarvex
