#pragma once
// Dialog layouts are given in dialog units: a horizontal unit is a quarter of the dialog font's
// average character width, a vertical unit an eighth of its height. Converting with the font in
// use keeps the layouts in proportion on any screen and with any font.

#include <QFont>
#include <QFontMetrics>
#include <QRect>

struct DialogUnits {
    int baseWidth;  // average character width in pixels
    int baseHeight; // character height in pixels

    explicit DialogUnits(const QFont& font) {
        QFontMetrics metrics(font);
        // The average over the 52 letters, rounded up, as dialog templates always measured it.
        static const QString letters =
            QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        baseWidth = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
        baseHeight = metrics.height();
        if (baseWidth < 1)
            baseWidth = 1;
        if (baseHeight < 1)
            baseHeight = 1;
    }
    int X(int units) const { return units * baseWidth / 4; }
    int Y(int units) const { return units * baseHeight / 8; }
    QRect Rect(int x, int y, int width, int height) const {
        return QRect(X(x), Y(y), X(width), Y(height));
    }
};
