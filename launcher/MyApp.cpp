#include "MyApp.h"

#include <sys/stat.h>

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
    if (message->FindRef("refs", &ref) != B_OK)
        return;
    BMessage drop(B_SIMPLE_DATA);
    drop.AddRef("refs", &ref);
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
    fWindow->View()->StopCommand();
    shell_stop();
    return true;
}
