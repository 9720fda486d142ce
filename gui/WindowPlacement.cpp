#include "gui/WindowPlacement.h"

#include <cstdlib>

std::optional<QRect> StoredWindowRect(const int32_t (&rect)[4]) {
    // Wider than any desktop: no window of ours ever had such a size.
    constexpr int64_t largest = 1 << 16;
    const int64_t width = int64_t{rect[2]} - rect[0];
    const int64_t height = int64_t{rect[3]} - rect[1];
    if (width <= 0 || height <= 0 || width > largest || height > largest ||
        std::llabs(rect[0]) > largest || std::llabs(rect[1]) > largest)
        return std::nullopt;
    return QRect(rect[0], rect[1], int(width), int(height));
}

QRect StartWindowRect(const std::optional<QRect>& stored, const QList<QRect>& screens,
                      QSize defaultSize) {
    if (stored) {
        for (const QRect& screen : screens)
            if (screen.intersects(*stored) && stored->width() <= screen.width() &&
                stored->height() <= screen.height())
                return *stored;
    }
    if (screens.isEmpty())
        return QRect(QPoint(0, 0), defaultSize);
    QRect centred(QPoint(0, 0), defaultSize.boundedTo(screens.first().size()));
    centred.moveCenter(screens.first().center());
    return centred;
}
