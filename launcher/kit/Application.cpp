#include "Application.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cerrno>

#include <QApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <fstream>
#include <optional>
#include <sstream>

#include "Entry.h"
#include "KitPrivate.h"
#include "Window.h"

BApplication* be_app = nullptr;

static std::optional<std::vector<std::string>> applicationArguments;

void set_application_arguments(const std::vector<std::string>& arguments) { applicationArguments = arguments; }

// The process's own command line, as the kernel keeps it: its bytes, which
// Qt's argument list would turn into text (a file name need not be UTF-8).
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

// SIGTERM, SIGHUP (the session ends) and SIGINT ask the application to
// quit, as the Quit spot does: the handler only writes the signal's number
// into a pipe, whose other end the loop watches.
static int quitPipe[2] = {-1, -1};
static const int kQuitSignals[] = {SIGTERM, SIGHUP, SIGINT};

static void AskToQuit(int signal)
{
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    ssize_t written = write(quitPipe[1], &byte, 1);
    (void)written;  // a full pipe holds a request already
    errno = saved;
}

static void CatchQuitSignals()
{
    if (quitPipe[0] < 0) {
        if (pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        // Watched for the rest of the process, by the one Qt application.
        auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, [] {
            char bytes[64];
            ssize_t n, last = 0;
            while ((n = read(quitPipe[0], bytes, sizeof bytes)) > 0)
                last = bytes[n - 1];
            // The request says which signal asked, so that nobody is asked
            // a question on the way out.
            BMessage request(B_QUIT_REQUESTED);
            request.AddInt32("be:signal", static_cast<int32>(last));
            if (be_app != nullptr)
                be_app->PostMessage(&request);
        });
    }
    struct sigaction action = {};
    action.sa_handler = AskToQuit;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kQuitSignals)
        sigaction(signal, &action, nullptr);
}

static void ReleaseQuitSignals()
{
    for (int signal : kQuitSignals)
        ::signal(signal, SIG_DFL);
}

// The signature names the application to the platform; Qt needs none.
BApplication::BApplication(const char*)
{
    EnsureQtApplication();
    be_app = this;
    CatchQuitSignals();
    // The command line's arguments are handed to ArgvReceived once the loop
    // runs.
    std::vector<std::string> arguments = applicationArguments ? *applicationArguments : ProcessArguments();
    if (arguments.size() > 1) {
        BMessage argv(B_ARGV_RECEIVED);
        for (const std::string& argument : arguments)
            argv.AddString("argv", argument);
        PostMessage(&argv);
    }
}

void BApplication::ArgvReceived(int32 argc, char** argv)
{
    BMessage refs(B_REFS_RECEIVED);
    for (int32 i = 1; i < argc; i++) {
        struct stat status;
        entry_ref ref;
        if (lstat(argv[i], &status) == 0 && get_ref_for_path(argv[i], &ref) == B_OK)
            refs.AddRef("refs", &ref);
    }
    if (refs.CountRefs("refs") > 0)
        RefsReceived(&refs);
}

BApplication::~BApplication()
{
    while (!fWindows.empty())
        delete fWindows.back();  // each window removes itself
    if (be_app == this)
        be_app = nullptr;
    ReleaseQuitSignals();
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
    } else if (handler == nullptr && message->what == B_ARGV_RECEIVED) {
        std::vector<std::string> arguments(message->CountStrings("argv"));
        std::vector<char*> argv;
        for (int32 i = 0; i < static_cast<int32>(arguments.size()); i++) {
            message->FindString("argv", i, &arguments[i]);
            argv.push_back(arguments[i].data());
        }
        argv.push_back(nullptr);
        ArgvReceived(static_cast<int32>(arguments.size()), argv.data());
    } else {
        BLooper::DispatchMessage(message, handler);
    }
}

void BApplication::_AddWindow(BWindow* window) { fWindows.push_back(window); }

void BApplication::_RemoveWindow(BWindow* window)
{
    fWindows.erase(std::remove(fWindows.begin(), fWindows.end(), window), fWindows.end());
}
