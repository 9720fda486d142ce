#pragma once
// Where the main window opens, from the outer rectangle the settings keep.

#include <QList>
#include <QRect>

#include <cstdint>
#include <optional>

// left, top, right, bottom as stored; absent when it is empty or beyond what a screen can hold.
std::optional<QRect> StoredWindowRect(const int32_t (&rect)[4]);

// The stored rectangle when its title bar lies on one of `screens` and it fits on that screen;
// else moved onto the screen that holds most of it, when it fits there; else `defaultSize`
// centred on the first (primary) screen.
QRect StartWindowRect(const std::optional<QRect>& stored, const QList<QRect>& screens,
                      QSize defaultSize);
