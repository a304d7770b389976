#pragma once

#include <string>

#include "ListView.h"
#include "StringView.h"
#include "View.h"

class BBitmap;

class MyView : public BView {
public:
    MyView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    ~MyView() override;
    void MessageReceived(BMessage* message) override;
    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;

private:
    BBitmap* fImage;  // null when the picture could not be loaded
};

// The target list and the path display, set when the main view is built.
extern BListView* lstview1;
extern BStringView* _stringview1;
// The last click: position and buttons as read, and the position truncated.
extern BPoint where;
extern uint32 buttons;
extern int32 h0, v0;

// The background picture's path: conv.jpg in the installation directory.
extern std::string picturePath;
