// A line of plain text.
#pragma once

#include <string>

#include "InterfaceDefs.h"
#include "View.h"

class BStringView : public BView {
public:
    BStringView(BRect frame, const char* name, const char* text, uint32 resizingMode, uint32 flags);
    void SetText(const char* text);
    // The whole text, however it is shown.
    const char* Text() const { return fText.c_str(); }
    // Where a text too long for the view is cut (B_TRUNCATE_END,
    // B_TRUNCATE_BEGINNING); an ellipsis marks the cut.
    void SetTruncation(uint32 mode);

private:
    void _Show();

    std::string fText;
    uint32 fTruncation = B_TRUNCATE_END;
};
