#pragma once

#include "Application.h"

class MyWindow;

class MyApp : public BApplication {
public:
    MyApp();
    // Files opened with the application are shown like a dropped file: the
    // first one's reference goes to the main view through the window's
    // queue, as a drop would.
    void RefsReceived(BMessage* message) override;

private:
    MyWindow* fWindow;
};
