// A window: a frameless top-level window with a thin border drawn around
// its content, whose frame is given in screen coordinates.
#pragma once

#include <vector>

#include "Looper.h"
#include "InterfaceDefs.h"
#include "Rect.h"

class BView;
class _WindowWidget;

class BWindow : public BLooper {
public:
    BWindow(BRect frame, const char* title, window_type type, uint32 flags, uint32 workspace = B_CURRENT_WORKSPACE);
    ~BWindow() override;

    // Every look is drawn the same: a thin border and no title tab.
    void SetLook(window_look look);
    void Show();
    void Hide();
    void AddChild(BView* view);
    // Key with modifiers (B_COMMAND_KEY: Alt, B_CONTROL_KEY: Ctrl; a letter,
    // or B_F1_KEY) sends a copy of message to target through the window's
    // queue, wherever the focus is in the window. Takes ownership.
    void AddShortcut(uint32 key, uint32 modifiers, BMessage* message, BHandler* target);
    // Closes the window and deletes it once control returns to the loop.
    void Quit();

    void DispatchMessage(BMessage* message, BHandler* handler) override;

private:
    _WindowWidget* fWidget;
    std::vector<BView*> fChildren;
};
