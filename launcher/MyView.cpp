#include "MyView.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "Alert.h"
#include "AppDefs.h"
#include "Application.h"
#include "Bitmap.h"
#include "Entry.h"
#include "ScrollView.h"
#include "Layout.h"
#include "Messages.h"
#include "Shell.h"
#include "Window.h"
#include "targets.h"

std::string test1;
std::string command;
BListView* lstview1;
BStringView* _stringview1;
BPoint where;
uint32 buttons;
int32 h0, v0;
std::string picturePath = std::string(kInstallDir) + "/conv.jpg";

static BRect ToRect(const LayoutBox& box) { return BRect(box.left, box.top, box.right, box.bottom); }

// The status line, as many lines as its box holds: a click on it asks the
// main view to open the folder of the last output.
class StatusLine : public BTextView {
public:
    StatusLine(BRect frame)
        : BTextView(frame, "StatusLine", BRect(0, 0, frame.Width(), frame.Height()), B_FOLLOW_LEFT | B_FOLLOW_TOP,
                    B_WILL_DRAW)
    {
        MakeEditable(false);
        MakeSelectable(false);
    }
    void MouseDown(BPoint) override
    {
        BMessage open(kMsgOpenFolder);
        if (Window() != nullptr)
            Window()->PostMessage(&open, Parent());
    }
};

static const char* const kEmptyPath = "Here";
static const char* const kAboutTitle = "BALert";
static const char* const kAboutText =
    "This Program Converts between \n Various Graphics and Sounds Format \n Drag the File to be "
    "converted \nand select the format in the list box \n and then press convert\n Please select "
    "valid formats example\n file.wav to file.au \nor\nfile.ico      to file.png ";

// The list inside the frame that Layout.h gives its scroll view: the
// fancy border round it, the scroll bar at its right.
static BRect ListRect()
{
    enum { kBorder = 2 };
    return BRect(kListFrame.left + kBorder, kListFrame.top + kBorder, kListFrame.right - kBorder - B_V_SCROLL_BAR_WIDTH,
                 kListFrame.bottom - kBorder);
}

MyView::MyView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags)
{
    fImage = BTranslationUtils::GetBitmap(picturePath.c_str());
    lstview1 = new BListView(ListRect(), "list1", B_SINGLE_SELECTION_LIST, B_FOLLOW_LEFT | B_FOLLOW_TOP,
                             B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE);
    BScrollView* scroll =
        new BScrollView("scroll1", lstview1, B_FOLLOW_LEFT | B_FOLLOW_TOP, 0, false, true, B_FANCY_BORDER);
    _stringview1 =
        new BStringView(ToRect(kPathDisplay), "StringView1", kEmptyPath, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW);
    // A long path shows its end, the file's name; the whole path is the
    // tooltip.
    _stringview1->SetTruncation(B_TRUNCATE_BEGINNING);
    fStatusLine = new StatusLine(ToRect(kStatusLine));
    AddChild(scroll);
    AddChild(_stringview1);
    AddChild(fStatusLine);
    for (int i = 0; i < kTargetCount; i++)
        lstview1->AddItem(new BStringItem(listitems[i].label, 0, true));
}

MyView::~MyView() { delete fImage; }

void MyView::Draw(BRect)
{
    if (fImage != nullptr)
        DrawBitmap(fImage);
}

// Both bounds of a spot belong to it.
static bool InSpot(const LayoutBox& spot, int32 x, int32 y)
{
    return x >= spot.left && x <= spot.right && y >= spot.top && y <= spot.bottom;
}

void MyView::_SetStatus(const std::string& text, const std::string& shortText, const std::string& details)
{
    fStatusLine->SetText(text.c_str());
    const int32 fit = static_cast<int32>((fStatusLine->Frame().Height() + 1) / fStatusLine->LineHeight());
    if (!shortText.empty() && fStatusLine->CountLines() > fit)
        fStatusLine->SetText(shortText.c_str());
    const std::string whole = details.empty() ? text : text + "\n" + details;
    fStatusLine->SetToolTip(whole.c_str());
}

// The directory the commands run in, where most of their outputs land.
static std::string WorkingDirectory()
{
    char* here = getcwd(nullptr, 0);
    std::string dir = here != nullptr ? here : ".";
    free(here);
    return dir;
}

// The first of NAME_2.EXT, NAME_3.EXT, ... (NAME_2, ... for a name without
// an extension) that names nothing in dir.
static std::string FreeName(const std::string& dir, const std::string& name)
{
    size_t dot = name.rfind('.');
    if (dot == 0)
        dot = std::string::npos;
    std::string stem = name.substr(0, dot), extension = dot == std::string::npos ? "" : name.substr(dot);
    struct stat status;
    for (unsigned n = 2;; n++) {
        std::string candidate = stem + "_" + std::to_string(n) + extension;
        if (lstat((dir + "/" + candidate).c_str(), &status) != 0)
            return candidate;
    }
}

// What the alert says of the output found at path.
static std::string Found(const std::string& path)
{
    char target[4096];
    ssize_t length = readlink(path.c_str(), target, sizeof target - 1);
    if (length < 0)
        return path + " already exists.";
    target[length] = '\0';
    return path + " already exists: it is a symbolic link to " + target +
           ". Replace removes the link; the file it points to stays as it is.";
}

bool MyView::_ClaimOutput(TargetRun* run)
{
    const std::string path = run->workingDir + "/" + run->outputName;
    bool replace = false, keepBoth = false;
    const OutputClaim::Found found = OutputClaim::Look(path, test1);
    switch (found) {
    case OutputClaim::Found::kNothing:
        break;
    case OutputClaim::Found::kInput:
        _SetStatus("Not converted: the output " + path + " is the input file");
        return false;
    case OutputClaim::Found::kBeingWritten:
    case OutputClaim::Found::kFolder: {
        // Never replaced: another conversion writes it, or it is a folder.
        const bool busy = found == OutputClaim::Found::kBeingWritten;
        const std::string text =
            busy ? path + " is being written by another conversion." : path + " already exists and is a folder.";
        BAlert* alert =
            new BAlert("Convert", text.c_str(), "Keep both", "Cancel", nullptr, B_WIDTH_AS_USUAL, B_WARNING_ALERT);
        alert->SetShortcut(1, B_ESCAPE);
        if (alert->Go() != 0) {
            _SetStatus("Not converted: " + path + (busy ? " is being written" : " already exists"));
            return false;
        }
        keepBoth = true;
        break;
    }
    case OutputClaim::Found::kSomething: {
        // Keep both is the default: a second Return never replaces a file.
        BAlert* alert = new BAlert("Convert", Found(path).c_str(), "Replace", "Keep both", "Cancel", B_WIDTH_AS_USUAL,
                                   B_WARNING_ALERT);
        alert->SetDefaultButton(1);
        alert->SetShortcut(0, 'r');
        alert->SetShortcut(2, B_ESCAPE);
        int32 choice = alert->Go();
        if (choice != 0 && choice != 1) {
            _SetStatus("Not converted: " + path + " already exists");
            return false;
        }
        replace = choice == 0;
        keepBoth = choice == 1;
        break;
    }
    }
    const std::string name = run->outputName;
    for (;;) {
        if (keepBoth)
            run->outputName = FreeName(run->workingDir, name);
        if (fClaim.Claim(run->workingDir + "/" + run->outputName, replace))
            return true;
        // Another took the free name meanwhile: the next one.
        if (errno == EEXIST && keepBoth)
            continue;
        _SetStatus("Cannot write into " + run->workingDir + ": " + strerror(errno));
        return false;
    }
}

// Starts the selected target on the dropped file beside the window; a click
// while a command runs is ignored. A target that writes a file of its own
// name never writes onto its input, asks before an existing file is
// replaced, and keeps the earlier file until the new one is whole.
void MyView::_Convert()
{
    if (shell_running())
        return;
    if (test1.empty())
        return;
    int32 selection = lstview1->CurrentSelection();
    if (selection < 0)
        return;
    if (dynamic_cast<BStringItem*>(lstview1->ItemAt(selection)) == nullptr)
        return;
    TargetRun run = PlanRun(selection, test1, WorkingDirectory());
    if (!run.outputName.empty() && !_ClaimOutput(&run))
        return;
    command = BuildCommand(run);
    if (command.empty()) {
        fClaim.Undo();
        return;
    }
    fRun = run;
    fFolder.clear();
    _SetStatus(RunningText(run));
    if (shell_start(command.c_str(), Window(), this, kMsgCommandDone) != B_OK) {
        fClaim.Undo();
        fRun.target = -1;
        _SetStatus("The command could not be started");
    }
}

void MyView::StopCommand()
{
    if (!shell_running())
        return;
    shell_stop();
    const std::string path = fRun.workingDir + "/" + fRun.outputName;
    const std::string aside = fClaim.Aside();
    if (fClaim.Undo())
        printf("Convert: removed the partial output %s\n", path.c_str());
    if (!aside.empty())
        printf("Convert: put back the earlier %s\n", path.c_str());
    fflush(stdout);
    fRun.target = -1;
}

// The run ended as outcome: its output is kept, or removed with the
// earlier file put back; the status line says how it went.
void MyView::_Finish(const Outcome& outcome)
{
    if (fRun.target < 0)
        return;
    const bool failed = Failed(outcome);
    if (failed)
        fClaim.Undo();
    else
        fClaim.Commit();
    std::string text = OutcomeText(fRun, outcome);
    fFolder = failed ? "" : OutputFolder(fRun, outcome);
    std::string hint;
    if (!failed && listitems[fRun.target].output == kBareSamples)
        hint = PlayHint(fRun, shell_read(SampleFormatQuery(fRun)));
    const std::string open = fFolder.empty() ? "" : " \u2014 click to open its folder";
    // Where it must be cut, a warning yields its place to where the output
    // went and the hint.
    std::string shortText;
    if (!failed && !outcome.error.empty())
        shortText = "Done: " + OutputPlace(fRun, outcome) + hint + open + "; with a warning: " + outcome.error;
    _SetStatus(text + hint + open, shortText, outcome.errors.find('\n') != std::string::npos ? outcome.errors : "");
    fRun.target = -1;
}

void MyView::KeyDown(const char* bytes, int32 numBytes)
{
    if (numBytes == 1 && bytes[0] == B_ENTER && !test1.empty())
        _Convert();
}

void MyView::MouseDown(BPoint)
{
    GetMouse(&where, &buttons, true);
    // Truncated toward zero: 503.9 counts as 503.
    h0 = static_cast<int32>(where.x);
    v0 = static_cast<int32>(where.y);
    if (InSpot(kAboutSpot, h0, v0)) {
        BAlert* about = new BAlert(kAboutTitle, kAboutText, "OK", nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT);
        about->SetShortcut(0, B_ESCAPE);
        about->Go();
    } else if (InSpot(kQuitSpot, h0, v0)) {
        be_app->PostMessage(B_QUIT_REQUESTED);
    } else if (InSpot(kConvertSpot, h0, v0) && !test1.empty()) {
        _Convert();
    }
}

void MyView::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case B_SIMPLE_DATA: {
        entry_ref ref;
        std::string other;
        if (message->FindRef("refs", &ref) != B_OK) {
            // Nothing that names an existing local file: say why.
            if (message->FindString("be:missing", &other) == B_OK)
                _SetStatus("File not found: " + other);
            else if (message->FindString("be:url", &other) == B_OK)
                _SetStatus("Not a local file: " + other);
            return;
        }
        BEntry entry;
        if (entry.SetTo(&ref, false) != B_OK) {
            _SetStatus("File not found: " + (ref.directory == "/" ? "" : ref.directory) + "/" + ref.name);
            return;
        }
        BPath path;
        if (entry.GetPath(&path) != B_OK || path.Path() == nullptr)
            return;
        test1 = path.Path();
        _stringview1->SetText(test1.c_str());
        _stringview1->SetToolTip(test1.c_str());
        return;
    }
    case kMsgCommandDone: {
        Outcome outcome = {-1, "", "", ""};
        message->FindInt32("status", &outcome.status);
        message->FindString("error", &outcome.error);
        message->FindString("errors", &outcome.errors);
        message->FindString("output", &outcome.output);
        _Finish(outcome);
        return;
    }
    case kMsgOpenFolder:
        if (!fFolder.empty() && shell_launch("xdg-open", fFolder.c_str(), Window(), this, kMsgOpenFolderFailed) != B_OK)
            _SetStatus("The folder could not be opened: " + fFolder);
        return;
    case kMsgOpenFolderFailed: {
        std::string folder;
        if (message->FindString("argument", &folder) == B_OK)
            _SetStatus("The folder could not be opened: " + folder);
        return;
    }
    case kMsgReport: {
        std::string text;
        if (message->FindString("text", &text) == B_OK)
            _SetStatus(text);
        return;
    }
    default:
        BView::MessageReceived(message);
    }
}
