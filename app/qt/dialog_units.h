// Dialog units: the layout measure of DEKVANTO's windows. One horizontal unit is a quarter of the
// dialog font's average character width, one vertical unit an eighth of its character height, so
// the windows keep their proportions whatever font the desktop uses. The desktop's default UI
// font is the dialog font here.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

namespace dekvanto::qt {

class DialogUnits {
  public:
    // Measures `font`: the average width of the 52 Latin letters (rounded) and the line height.
    explicit DialogUnits(const QFont &font);
    // Measures the given character cell directly (in pixels).
    DialogUnits(int average_char_width, int char_height);

    int X(int units) const;
    int Y(int units) const;
    // A control's rectangle given as x, y, width, height in dialog units.
    QRect Rect(int x, int y, int width, int height) const;
    QSize Size(int width, int height) const;

    int AverageCharWidth() const { return char_width_; }
    int CharHeight() const { return char_height_; }

  private:
    int char_width_;
    int char_height_;
};

}  // namespace dekvanto::qt
