// Where things are in the launcher's main view (left, top, right, bottom;
// both edges included): the three click spots, the path display, the frame
// around the target list and the status line. The view acts on these and
// the build-time picture marks them, both from here. No window system.
#pragma once

struct LayoutBox {
    int left, top, right, bottom;
};

inline constexpr LayoutBox kAboutSpot = {468, 128, 503, 161};
inline constexpr LayoutBox kQuitSpot = {427, 416, 550, 446};
inline constexpr LayoutBox kConvertSpot = {114, 416, 233, 446};
inline constexpr LayoutBox kPathDisplay = {41, 95, 234, 133};
inline constexpr LayoutBox kListFrame = {248, 98, 336, 152};
inline constexpr LayoutBox kStatusLine = {41, 470, 609, 514};
// The bar that shows a run's progress, beside the status line's heading,
// and the two choices of where outputs go.
inline constexpr LayoutBox kProgressBar = {190, 450, 609, 466};
inline constexpr LayoutBox kInStartFolderChoice = {41, 354, 609, 372};
inline constexpr LayoutBox kBesideInputChoice = {41, 374, 609, 392};
