#include "Application.h"

#include <sys/stat.h>

#include <QApplication>
#include <algorithm>
#include <fstream>
#include <sstream>

#include "Entry.h"
#include "KitPrivate.h"
#include "Window.h"

BApplication* be_app = nullptr;

static std::vector<std::string>* applicationArguments = nullptr;

void set_application_arguments(const std::vector<std::string>& arguments)
{
    delete applicationArguments;
    applicationArguments = new std::vector<std::string>(arguments);
}

// The process's own command line, as the kernel keeps it.
static std::vector<std::string> ProcessArguments()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    std::vector<std::string> arguments;
    std::string argument;
    while (std::getline(in, argument, '\0'))
        arguments.push_back(argument);
    return arguments;
}

// One QApplication for the process; it outlives every BApplication, so
// that a process (a test) may build several in turn.
static void EnsureQtApplication()
{
    if (QCoreApplication::instance() != nullptr)
        return;
    static int argc = 1;
    static char name[] = "Convert";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

// The signature names the application to the platform; Qt needs none.
BApplication::BApplication(const char*)
{
    EnsureQtApplication();
    be_app = this;
    // Files named on the command line are handed to RefsReceived once the
    // loop runs; names of no existing entry are passed over.
    std::vector<std::string> arguments =
        applicationArguments != nullptr ? *applicationArguments : ProcessArguments();
    BMessage refs(B_REFS_RECEIVED);
    for (size_t i = 1; i < arguments.size(); i++) {
        struct stat status;
        entry_ref ref;
        if (lstat(arguments[i].c_str(), &status) == 0 &&
            get_ref_for_path(arguments[i].c_str(), &ref) == B_OK)
            refs.AddRef("refs", &ref);
    }
    if (refs.CountRefs("refs") > 0)
        PostMessage(&refs);
}

BApplication::~BApplication()
{
    while (!fWindows.empty())
        delete fWindows.back();  // each window removes itself
    if (be_app == this)
        be_app = nullptr;
}

int32 BApplication::Run()
{
    fRunning = true;
    int32 result = QApplication::exec();
    fRunning = false;
    return result;
}

void BApplication::Quit()
{
    fQuitting = true;
    // Outside the loop Qt would keep the request and end the next modal
    // loop at once instead.
    if (fRunning)
        QCoreApplication::exit(0);
}

void BApplication::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (handler == nullptr && message->what == B_QUIT_REQUESTED) {
        if (QuitRequested())
            Quit();
    } else if (handler == nullptr && message->what == B_REFS_RECEIVED) {
        RefsReceived(message);
    } else {
        BLooper::DispatchMessage(message, handler);
    }
}

void BApplication::_AddWindow(BWindow* window)
{
    fWindows.push_back(window);
}

void BApplication::_RemoveWindow(BWindow* window)
{
    fWindows.erase(std::remove(fWindows.begin(), fWindows.end(), window), fWindows.end());
}
