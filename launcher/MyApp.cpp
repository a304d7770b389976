#include "MyApp.h"

#include <sys/stat.h>

#include "Alert.h"
#include "InterfaceDefs.h"
#include "Messages.h"
#include "MyView.h"
#include "MyWindow.h"
#include "Shell.h"

static const char* const kSignature = "application/x-vnd.convert";

MyApp::MyApp() : BApplication(kSignature)
{
    fWindow = new MyWindow(BRect(10, 10, 660, 528), "Convert", B_TITLED_WINDOW, 0);
    fWindow->SetLook(B_BORDERED_WINDOW_LOOK);
    fWindow->Show();
}

void MyApp::RefsReceived(BMessage* message)
{
    entry_ref ref;
    BMessage drop(B_SIMPLE_DATA);
    for (int32 i = 0; message->FindRef("refs", i, &ref) == B_OK; i++)
        drop.AddRef("refs", &ref);
    if (drop.CountRefs("refs") > 0)
        fWindow->PostMessage(&drop, fWindow->View());
}

void MyApp::ArgvReceived(int32 argc, char** argv)
{
    BApplication::ArgvReceived(argc, argv);
    for (int32 i = 1; i < argc; i++) {
        struct stat status;
        if (lstat(argv[i], &status) == 0)
            continue;
        BMessage report(kMsgReport);
        report.AddString("text", std::string("File not found: ") + argv[i]);
        fWindow->PostMessage(&report, fWindow->View());
        return;
    }
}

bool MyApp::QuitRequested()
{
    // A person is asked before a run is cut short; a signal is not.
    int32 signal;
    const bool fromSignal = CurrentMessage() != nullptr && CurrentMessage()->FindInt32("be:signal", &signal) == B_OK;
    if (!fromSignal && fWindow->View()->IsRunning()) {
        BAlert* alert = new BAlert("Convert", "A conversion is running. Stop it and quit?", "Stop and quit", "Cancel",
                                   nullptr, B_WIDTH_AS_USUAL, B_WARNING_ALERT);
        alert->SetDefaultButton(1);
        alert->SetShortcut(1, B_ESCAPE);
        if (alert->Go() != 0)
            return false;
    }
    fWindow->View()->StopCommand();
    shell_stop();
    return true;
}
