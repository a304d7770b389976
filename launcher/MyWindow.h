// The launcher's window: borderless, holding the main view; asking it to
// close quits the application.
#pragma once

#include "Window.h"

class MyView;

class MyWindow : public BWindow {
public:
    MyWindow(BRect frame, const char* title, window_type type, uint32 flags);
    void MessageReceived(BMessage* message) override;
    bool QuitRequested() override;
    MyView* View() const { return fView; }

private:
    MyView* fView;
};
