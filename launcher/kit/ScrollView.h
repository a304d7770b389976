// A frame around a target view with scroll bars, sized around it: the
// border's width on each side and the scroll bar's thickness beyond it, so
// that the target keeps its own frame.
#pragma once

#include "View.h"

class BScrollView : public BView {
public:
    BScrollView(const char* name, BView* target, uint32 resizingMode, uint32 flags, bool horizontal, bool vertical,
                border_style border = B_FANCY_BORDER);
    border_style Border() const { return fBorder; }
    // Draws the border around the target.
    void Draw(BRect updateRect) override;

private:
    border_style fBorder;
};
