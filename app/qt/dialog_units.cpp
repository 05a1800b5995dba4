#include "qt/dialog_units.h"

#include <QFontMetrics>

namespace dekvanto::qt {

DialogUnits::DialogUnits(const QFont &font) {
    const QFontMetrics metrics(font);
    const int letters = metrics.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    char_width_ = (letters / 26 + 1) / 2;
    char_height_ = metrics.height();
}

DialogUnits::DialogUnits(int average_char_width, int char_height)
    : char_width_(average_char_width), char_height_(char_height) {}

int DialogUnits::X(int units) const {
    return (units * char_width_ + 2) / 4;
}

int DialogUnits::Y(int units) const {
    return (units * char_height_ + 4) / 8;
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
    return QRect(X(x), Y(y), X(width), Y(height));
}

QSize DialogUnits::Size(int width, int height) const {
    return QSize(X(width), Y(height));
}

}  // namespace dekvanto::qt
