#include "gui/WindowPlacement.h"

#include <algorithm>
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

namespace {

// Whether the title bar (the rectangle's top strip) can be grabbed on `screen`: its top lies on
// the screen and enough of the strip's width with it.
bool TitleBarOn(const QRect& rect, const QRect& screen) {
    constexpr int strip = 24;
    const QRect title(rect.left(), rect.top(), rect.width(), strip);
    const QRect seen = title & screen;
    return rect.top() >= screen.top() && seen.height() == strip &&
           seen.width() >= std::min(64, rect.width());
}

bool FitsOn(const QRect& rect, const QRect& screen) {
    return rect.width() <= screen.width() && rect.height() <= screen.height();
}

} // namespace

QRect StartWindowRect(const std::optional<QRect>& stored, const QList<QRect>& screens,
                      QSize defaultSize) {
    if (stored) {
        for (const QRect& screen : screens)
            if (TitleBarOn(*stored, screen) && FitsOn(*stored, screen))
                return *stored;
        // Left by another screen layout or scale: moved onto the screen that holds most of it,
        // where it fits, with its size kept.
        const QRect* best = nullptr;
        int64_t bestArea = 0;
        for (const QRect& screen : screens) {
            const QRect common = screen & *stored;
            const int64_t area = int64_t{common.width()} * common.height();
            if (!common.isEmpty() && area > bestArea && FitsOn(*stored, screen)) {
                best = &screen;
                bestArea = area;
            }
        }
        if (best != nullptr) {
            QRect moved = *stored;
            moved.moveLeft(std::clamp(moved.left(), best->left(), best->right() - moved.width() + 1));
            moved.moveTop(std::clamp(moved.top(), best->top(), best->bottom() - moved.height() + 1));
            return moved;
        }
    }
    if (screens.isEmpty())
        return QRect(QPoint(0, 0), defaultSize);
    QRect centred(QPoint(0, 0), defaultSize.boundedTo(screens.first().size()));
    centred.moveCenter(screens.first().center());
    return centred;
}
