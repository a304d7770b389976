// A line of plain text.
#pragma once

#include <string>

#include "View.h"

class BStringView : public BView {
public:
    BStringView(BRect frame, const char* name, const char* text, uint32 resizingMode, uint32 flags);
    void SetText(const char* text);
    const char* Text() const { return fText.c_str(); }

private:
    std::string fText;
};
