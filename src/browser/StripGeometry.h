#pragma once

// Where the thumbnail strip puts its windows: one row between the two scroll buttons, or a
// grid when the browser expands the strip. Integer division throughout, as the row's windows
// must land on the same pixels at every layout.

#include <QList>
#include <QRect>
#include <QSize>

namespace strip {

inline constexpr int kMaxWindows = 36;
inline constexpr int kButtonWidth = 22;
inline constexpr int kButtonHeight = 100;
inline constexpr int kGap = 5;

// Windows of the first row layout: (stripWidth - 55) / (thumbnailWidth + 5), 0 to 36.
int FirstRowCount(int stripWidth, int thumbnailWidth);
// Windows of the row after a resize: (stripWidth - 56) / (side + 5), 0 to 36.
int RowCount(int stripWidth, int side);
// Window index of a row of count windows: left 28 + count / 2 + index × (width + 5), centred
// vertically in the strip.
QRect RowWindowRect(int index, int count, int stripHeight, int width, int height);
// The windows of a grid of columns × rows cells (at most 36, row by row): cells of
// (stripWidth - 46) / columns by stripHeight / rows from (23, 0), each window its cell shrunk by
// 5 pixels on every side.
QList<QRect> GridWindowRects(const QSize& strip, int columns, int rows);

}  // namespace strip
