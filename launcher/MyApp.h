// The launcher's application: builds its one window, hands it the file
// named on the command line, and stops a running command when it quits.
#pragma once

#include "Application.h"

class MyWindow;

class MyApp : public BApplication {
public:
    MyApp();
    // Files opened with the application are taken like dropped files:
    // their references go to the main view through the window's queue, as
    // a drop would.
    void RefsReceived(BMessage* message) override;
    // The first argument that names an existing file is shown like a drop;
    // the first that names none is reported on the window's status line.
    void ArgvReceived(int32 argc, char** argv) override;
    // A command still running is ended with the launcher (see shell_stop),
    // once the user agrees; a quit signal does not ask.
    bool QuitRequested() override;

private:
    MyWindow* fWindow;
};
