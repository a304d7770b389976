// The application object and its message loop.
#pragma once

#include <string>
#include <vector>

#include "AppDefs.h"
#include "Looper.h"

class BWindow;

class BApplication : public BLooper {
public:
    explicit BApplication(const char* signature);
    ~BApplication() override;

    // Runs the message loop until the application quits; returns then.
    // SIGTERM, SIGHUP and SIGINT post B_QUIT_REQUESTED meanwhile.
    int32 Run();
    // Ends the loop, or the next one to run. Virtual, as BLooper's is in
    // the BeOS kit, so that a subclass can see it happen.
    virtual void Quit();

    // Called with the command line's arguments (argv[0] the program) when
    // there are any besides the program's name. By default the names of
    // existing entries go to RefsReceived; others are passed over.
    virtual void ArgvReceived(int32 argc, char** argv);
    // Called with a B_REFS_RECEIVED message whose "refs" list files opened
    // with the application.
    virtual void RefsReceived(BMessage* message) { (void)message; }

    void DispatchMessage(BMessage* message, BHandler* handler) override;

private:
    // The windows the application owns; they are deleted with it.
    friend class BWindow;
    void _AddWindow(BWindow* window);
    void _RemoveWindow(BWindow* window);

    std::vector<BWindow*> fWindows;
    bool fQuitting = false;
    bool fRunning = false;
};

extern BApplication* be_app;

// The command line the application takes its file arguments from: by
// default the process's own. Set before the application is built.
void set_application_arguments(const std::vector<std::string>& arguments);
