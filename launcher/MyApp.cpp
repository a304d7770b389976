#include "MyApp.h"

#include "InterfaceDefs.h"
#include "MyView.h"
#include "MyWindow.h"

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
