// Points and rectangles. A rectangle includes its right and bottom edges,
// so (0, 0, 9, 9) covers 10 x 10 pixels.
#pragma once

class BPoint {
public:
    float x = 0, y = 0;
    BPoint() = default;
    BPoint(float px, float py) : x(px), y(py) { }
    bool operator==(const BPoint&) const = default;
};

class BRect {
public:
    float left = 0, top = 0, right = -1, bottom = -1;
    BRect() = default;
    BRect(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) { }

    float Width() const { return right - left; }
    float Height() const { return bottom - top; }
    void OffsetTo(float x, float y)
    {
        right += x - left;
        bottom += y - top;
        left = x;
        top = y;
    }
    bool operator==(const BRect&) const = default;
};
