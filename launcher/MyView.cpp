#include "MyView.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// Dark text for the light boxes of the picture, and light text for the
// choices drawn on its dark ground, whatever the desktop's palette.
static constexpr rgb_color kTextOnBox = {0x10, 0x10, 0x10, 0xFF};
static constexpr rgb_color kTextOnPicture = {0xF0, 0xF0, 0xF0, 0xFF};

MyView::MyView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags), fSettings(LoadSettings())
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
    // Buttons over the picture's three spots, made in the order Tab takes
    // them after the list; then the choice of where outputs go.
    fConvert = new BButton(ToRect(kConvertSpot), "Convert", "Convert", new BMessage(kMsgConvert));
    BButton* quit = new BButton(ToRect(kQuitSpot), "Quit", "Quit", new BMessage(kMsgQuit));
    BButton* about = new BButton(ToRect(kAboutSpot), "About", "?", new BMessage(kMsgAbout));
    BMessage* inStartFolder = new BMessage(kMsgOutputsGo);
    inStartFolder->AddInt32("place", kInStartFolder);
    BMessage* besideInput = new BMessage(kMsgOutputsGo);
    besideInput->AddInt32("place", kBesideInput);
    fInStartFolder = new BRadioButton(ToRect(kInStartFolderChoice), "InStartFolder",
                                      "In the folder Convert was started in, as output.TYPE", inStartFolder);
    fBesideInput =
        new BRadioButton(ToRect(kBesideInputChoice), "BesideInput", "Beside each input, named after it", besideInput);
    fProgress = new BStatusBar(ToRect(kProgressBar), "Progress", "Progress");
    AddChild(scroll);
    AddChild(_stringview1);
    AddChild(fStatusLine);
    AddChild(fConvert);
    AddChild(quit);
    AddChild(about);
    AddChild(fInStartFolder);
    AddChild(fBesideInput);
    AddChild(fProgress);
    fProgress->Hide();
    fConvert->SetEnabled(false);
    about->SetAccessibleName("About");
    about->SetToolTip("About Convert (F1)");
    fConvert->SetToolTip("Convert the file with the chosen target (Return); Stop while it runs (Escape)");
    lstview1->SetAccessibleName("Target");
    _stringview1->SetAccessibleName("File");
    fStatusLine->SetAccessibleName("What happened");
    for (BView* box : {static_cast<BView*>(_stringview1), static_cast<BView*>(fStatusLine)})
        box->SetHighColor(kTextOnBox);
    for (BRadioButton* choice : {fInStartFolder, fBesideInput})
        choice->SetHighColor(kTextOnPicture);
    (fSettings.outputs == kBesideInput ? fBesideInput : fInStartFolder)->SetValue(1);
    for (int i = 0; i < kTargetCount; i++)
        lstview1->AddItem(new BStringItem(listitems[i].label, 0, true));
    const int32 last = TargetIndex(fSettings.target.c_str());
    if (last >= 0)
        lstview1->Select(last);
    lstview1->SetSelectionMessage(new BMessage(kMsgTargetChosen));
}

MyView::~MyView()
{
    delete fImage;
    delete fPanel;
}

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
    const OutputClaim::Found found = OutputClaim::Look(path, run->path);
    switch (found) {
    case OutputClaim::Found::kNothing:
        break;
    case OutputClaim::Found::kInput:
        // Named after the input, the output of its own type takes the
        // next free name instead.
        if (run->workingDir + "/" + OutputName(run->target, run->path) != path) {
            keepBoth = true;
            break;
        }
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
        int32 choice = fRestAnswer;
        if (choice < 0) {
            BAlert* alert = new BAlert("Convert", Found(path).c_str(), "Replace", "Keep both", "Cancel",
                                       B_WIDTH_AS_USUAL, B_WARNING_ALERT);
            alert->SetDefaultButton(1);
            alert->SetShortcut(0, 'r');
            alert->SetShortcut(2, B_ESCAPE);
            // More files to come: the answer may stand for them too.
            bool forTheRest = false;
            if (fNext < fQueue.size())
                alert->SetCheckBox("Do the same for the rest", &forTheRest);
            choice = alert->Go();
            if (forTheRest)
                fRestAnswer = choice;
        }
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

// The names of the PNG files in folder.
static std::vector<std::string> PngFiles(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".png") == 0)
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Starts the selected target on the files taken beside the window, one
// after the other; while a command runs this does nothing (the button is
// Stop then). A target that writes a file of its own name never writes
// onto its input, asks before an existing file is replaced, and keeps the
// earlier file until the new one is whole.
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
    fQueue = fFiles.empty() ? std::vector<std::string>{test1} : fFiles;
    fNext = 0;
    fQueueTarget = selection;
    fConverted = 0;
    fFailures.clear();
    fRestAnswer = -1;
    fFolder.clear();
    _StartNext();
}

void MyView::_StartNext()
{
    const bool several = fQueue.size() > 1;
    while (fNext < fQueue.size()) {
        const std::string path = fQueue[fNext++];
        const std::string leaf = LeafOf(path);
        const std::string cannot = CannotRead(fQueueTarget, path, KindOfFile(path));
        if (!cannot.empty()) {
            _SetStatus("Not converted: " + cannot);
            fFailures.push_back(leaf + ": not converted: " + cannot);
            continue;
        }
        TargetRun run = PlanRun(fQueueTarget, path, WorkingDirectory(), fSettings.outputs);
        if (!run.outputName.empty() && !_ClaimOutput(&run)) {
            fFailures.push_back(leaf + ": " + fStatusLine->Text());
            continue;
        }
        command = BuildCommand(run);
        if (command.empty()) {
            fClaim.Undo();
            continue;
        }
        ShellOptions options;
        options.directory = run.workingDir;
        options.progressWhat = kMsgProgress;
        if (RunsSox(run)) {
            // sox's own report of its progress (-S), which changes nothing
            // of its output, read from its standard error.
            const char* own = getenv("SOX_OPTS");
            options.environment.push_back(std::string("SOX_OPTS=") + (own != nullptr ? own + std::string(" ") : "") +
                                          "-S");
            options.readLine = ReadSoxLine;
        } else {
            options.input = path;
        }
        fRun = run;
        fPngFolder.clear();
        if (listitems[run.target].output == kPngFilesBesideInput) {
            fPngFolder = OutputFolder(run, Outcome{});
            fPngsBefore = PngFiles(fPngFolder);
        }
        if (shell_start(command.c_str(), Window(), this, kMsgCommandDone, options) != B_OK) {
            fClaim.Undo();
            fRun.target = -1;
            _SetStatus("The command could not be started");
            fFailures.push_back(leaf + ": the command could not be started");
            continue;
        }
        _SetStatus(several ? QueueText(fNext, fQueue.size(), path) : RunningText(run));
        _ShowRunning(true);
        return;
    }
    _ShowRunning(false);
    if (!several)
        return;
    std::string details;
    for (const std::string& failure : fFailures)
        details += (details.empty() ? "" : "\n") + failure;
    const std::string open = fFolder.empty() ? "" : " \u2014 click to open the folder of the last output";
    _SetStatus(QueueSummary(fConverted, fFailures.size()) + open, "", details);
    fQueue.clear();
}

bool MyView::IsRunning() const { return shell_running() || fRun.target >= 0; }

void MyView::StopCommand()
{
    fQueue.clear();
    fNext = 0;
    if (!shell_running())
        return;
    shell_stop();
    const std::string path = fRun.workingDir + "/" + fRun.outputName;
    const std::string aside = fClaim.Aside();
    if (fClaim.Undo())
        printf("Convert: removed the partial output %s\n", path.c_str());
    if (!aside.empty())
        printf("Convert: put back the earlier %s\n", path.c_str());
    // The PNG files the stopped run wrote beside its input.
    for (const std::string& name : fPngFolder.empty() ? std::vector<std::string>() : PngFiles(fPngFolder)) {
        const std::string file = fPngFolder + "/" + name;
        if (!std::binary_search(fPngsBefore.begin(), fPngsBefore.end(), name) && unlink(file.c_str()) == 0)
            printf("Convert: removed the output %s\n", file.c_str());
    }
    fPngFolder.clear();
    fflush(stdout);
    fRun.target = -1;
}

// Stop: the run and the rest of the queue end; the folder is left as it
// was before the run.
void MyView::_Stop()
{
    StopCommand();
    _ShowRunning(false);
    _SetStatus("Stopped");
}

void MyView::_ConvertOrStop()
{
    if (IsRunning())
        _Stop();
    else
        _Convert();
}

void MyView::_ShowRunning(bool running)
{
    fConvert->SetLabel(running ? "Stop" : "Convert");
    fConvert->SetEnabled(running || !test1.empty());
    if (running) {
        // A bar that moves until the run says how far it is.
        fProgress->SetMaxValue(0);
        fProgress->Show();
    } else {
        fProgress->Hide();
    }
}

// The run ended as outcome: its output is kept, or removed with the
// earlier file put back; the status line says how it went, and the next
// file of the queue starts.
void MyView::_Finish(const Outcome& outcome)
{
    if (fRun.target < 0)
        return;
    const bool failed = Failed(outcome);
    if (failed)
        fClaim.Undo();
    else
        fClaim.Commit();
    const std::string text = OutcomeText(fRun, outcome), place = OutputPlace(fRun, outcome);
    if (!failed)
        fFolder = OutputFolder(fRun, outcome);
    std::string hint;
    if (!failed && listitems[fRun.target].output == kBareSamples)
        hint = PlayHint(fRun, shell_read(SampleFormatQuery(fRun)));
    const std::string leaf = LeafOf(fRun.path);
    fRun.target = -1;
    if (fQueue.size() > 1) {
        if (failed)
            fFailures.push_back(leaf + ": " + text);
        else
            fConverted++;
        _StartNext();
        return;
    }
    fQueue.clear();
    _ShowRunning(false);
    if (failed)
        fFolder.clear();
    const std::string open = fFolder.empty() ? "" : " \u2014 click to open its folder";
    // Where it must be cut, a warning yields its place to where the output
    // went and the hint.
    std::string shortText;
    if (!failed && !outcome.error.empty())
        shortText = "Done: " + place + hint + open + "; with a warning: " + outcome.error;
    _SetStatus(text + hint + open, shortText, outcome.errors.find('\n') != std::string::npos ? outcome.errors : "");
}

void MyView::_About()
{
    BAlert* about = new BAlert(kAboutTitle, kAboutText, "OK", nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT);
    about->SetShortcut(0, B_ESCAPE);
    about->Go();
}

void MyView::_GreyTargets()
{
    for (int32 i = 0; i < lstview1->CountItems(); i++) {
        bool readsOne = fKinds.empty();
        for (size_t f = 0; f < fKinds.size() && !readsOne; f++)
            readsOne = CannotRead(i, fFiles[f], fKinds[f]).empty();
        lstview1->ItemAt(i)->SetEnabled(readsOne);
        lstview1->InvalidateItem(i);
    }
}

void MyView::KeyDown(const char* bytes, int32 numBytes)
{
    if (numBytes == 1 && bytes[0] == B_ESCAPE && IsRunning())
        _Stop();
    else if (numBytes == 1 && bytes[0] == B_ENTER && !test1.empty())
        _Convert();
}

void MyView::MouseDown(BPoint)
{
    GetMouse(&where, &buttons, true);
    // Truncated toward zero: 503.9 counts as 503.
    h0 = static_cast<int32>(where.x);
    v0 = static_cast<int32>(where.y);
    if (InSpot(kAboutSpot, h0, v0)) {
        _About();
    } else if (InSpot(kQuitSpot, h0, v0)) {
        be_app->PostMessage(B_QUIT_REQUESTED);
    } else if (InSpot(kConvertSpot, h0, v0) && !test1.empty()) {
        _ConvertOrStop();
    }
}

void MyView::_TakeFiles(BMessage* message)
{
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
    std::vector<std::string> files;
    for (int32 i = 0; message->FindRef("refs", i, &ref) == B_OK; i++) {
        BEntry entry;
        BPath path;
        if (entry.SetTo(&ref, false) != B_OK) {
            if (i == 0) {
                _SetStatus("File not found: " + (ref.directory == "/" ? "" : ref.directory) + "/" + ref.name);
                return;
            }
            continue;
        }
        if (entry.GetPath(&path) == B_OK && path.Path() != nullptr)
            files.push_back(path.Path());
    }
    if (files.empty())
        return;
    fFiles = files;
    fKinds.clear();
    for (const std::string& file : fFiles)
        fKinds.push_back(KindOfFile(file));
    test1 = fFiles.front();
    std::string shown = test1, tip = test1;
    if (fFiles.size() > 1) {
        shown += " and " + std::to_string(fFiles.size() - 1) + " more";
        for (size_t i = 1; i < fFiles.size(); i++)
            tip += "\n" + fFiles[i];
    }
    _stringview1->SetText(shown.c_str());
    _stringview1->SetToolTip(tip.c_str());
    if (!IsRunning())
        fConvert->SetEnabled(true);
    _GreyTargets();
}

void MyView::MessageReceived(BMessage* message)
{
    switch (message->what) {
    case B_SIMPLE_DATA:
    case B_REFS_RECEIVED:
        _TakeFiles(message);
        return;
    case kMsgConvert:
        _ConvertOrStop();
        return;
    case kMsgQuit:
        be_app->PostMessage(B_QUIT_REQUESTED);
        return;
    case kMsgAbout:
        _About();
        return;
    case kMsgOpenPanel:
        if (fPanel == nullptr)
            fPanel = new BFilePanel(B_OPEN_PANEL, Window(), this, true);
        fPanel->Show();
        return;
    case kMsgProgress: {
        int32 progress = 0;
        if (message->FindInt32("progress", &progress) == B_OK && IsRunning()) {
            fProgress->SetMaxValue(1000);
            fProgress->SetTo(static_cast<float>(progress));
        }
        return;
    }
    case kMsgOutputsGo: {
        int32 place = kInStartFolder;
        message->FindInt32("place", &place);
        fSettings.outputs = place == kBesideInput ? kBesideInput : kInStartFolder;
        if (!SaveSettings(fSettings))
            _SetStatus("The setting could not be kept in " + SettingsPath());
        return;
    }
    case kMsgTargetChosen: {
        int32 index = -1;
        if (message->FindInt32("index", &index) != B_OK || index < 0 || index >= kTargetCount)
            return;
        fSettings.target = listitems[index].label;
        SaveSettings(fSettings);
        // A greyed target says why it is.
        for (size_t f = 0; f < fFiles.size(); f++) {
            const std::string cannot = CannotRead(index, fFiles[f], fKinds[f]);
            if (lstview1->ItemAt(index)->IsEnabled() || cannot.empty())
                continue;
            _SetStatus("Not for this file: " + cannot);
            break;
        }
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
