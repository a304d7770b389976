#include "MyWindow.h"

#include "Application.h"
#include "Messages.h"
#include "MyView.h"

MyWindow::MyWindow(BRect frame, const char* title, window_type type, uint32 flags)
    : BWindow(frame, title, type, flags, B_CURRENT_WORKSPACE)
{
    frame.OffsetTo(0, 0);
    fView = new MyView(frame, "theView", B_FOLLOW_ALL_SIDES, B_WILL_DRAW);
    AddChild(fView);
    AddShortcut('o', B_CONTROL_KEY, new BMessage(kMsgOpenPanel), fView);
    AddShortcut(B_F1_KEY, 0, new BMessage(kMsgAbout), fView);
}

void MyWindow::MessageReceived(BMessage* message)
{
    if (message->what == kMsgWindowQuit)
        QuitRequested();
    else
        BWindow::MessageReceived(message);
}

// The application decides, asking first while a run goes; the window
// stays until then and goes with the application.
bool MyWindow::QuitRequested()
{
    be_app->PostMessage(B_QUIT_REQUESTED);
    return false;
}
