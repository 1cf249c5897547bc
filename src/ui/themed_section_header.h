#pragma once

#include <QWidget>

#include "model/theme.h"

class QHBoxLayout;

namespace zarvex {

// Measures of title-bar section headers.
inline constexpr int kTitleBarSpacing = 6;
inline constexpr int kTitleBarPaddingX = 8;
inline constexpr int kTitleBarPaddingY = 5;
inline constexpr double kTitleBarFontSize = 11.5;
inline constexpr double kTitleBarLetterSpacing = 0.5;

// The colour of the title bar at `index`: titleBarColors cycled; none when
// the theme has no title-bar colours.
std::optional<Color> titleBarColor(const Theme& theme, int index);

// A section header with an optional trailing widget. In the plain style the
// title is set in the headline font; in the title-bar style the header is a
// small bar in the cycled title-bar colour (outlined in ink, with a close box
// as decoration), its content in a row with spacing 6, padded 8 × 5, the
// title in black, heavy, 11.5 points with letter spacing 0.5. Follows the
// applied theme.
class ThemedSectionHeader : public QWidget {
    Q_OBJECT
  public:
    ThemedSectionHeader(const QString& title, int index, QWidget* trailing = nullptr,
                        QWidget* parent = nullptr);

    QString title() const { return title_; }
    int index() const { return index_; }
    // The title's font and colour in the applied theme.
    QFont titleFont() const;
    QColor titleColor() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void restyle();

    QString title_;
    int index_;
    // Placeholders in the row: the title is drawn into titleSlot_, so the
    // style sheet engine never resets its font.
    QWidget* titleSlot_;
    QWidget* closeBox_;
    QHBoxLayout* row_;
    bool restyling_ = false;
};

}  // namespace zarvex
