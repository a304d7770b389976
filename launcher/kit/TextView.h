// Text of several lines in a rectangle, wrapped at word boundaries. The
// launcher shows it read-only: text that needs more lines than the view
// holds shows the lines that fit, the last one ending in an ellipsis.
#pragma once

#include <string>

#include "View.h"

class BTextView : public BView {
public:
    BTextView(BRect frame, const char* name, BRect textRect, uint32 resizingMode, uint32 flags);
    void SetText(const char* text);
    // The whole text, however it is shown.
    const char* Text() const { return fText.c_str(); }
    // The number of lines the whole text takes at the view's width.
    int32 CountLines() const;
    // The height of one line, in pixels.
    float LineHeight(int32 lineNumber = 0) const;
    // Whether the user may edit or select the text; the launcher's may do
    // neither, and these views are never editable.
    void MakeEditable(bool editable = true) { (void)editable; }
    void MakeSelectable(bool selectable = true);

private:
    void _Show();

    std::string fText;
    BRect fTextRect;
};
