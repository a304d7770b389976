#include "MyView.h"

#include <unistd.h>

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

static const char* const kEmptyPath = "Here";
static const char* const kAboutTitle = "BALert";
static const char* const kAboutText =
    "This Program Converts between \n Various Graphics and Sounds Format \n Drag the File to be "
    "converted \nand select the format in the list box \n and then press convert\n Please select "
    "valid formats example\n file.wav to file.au \nor\nfile.ico      to file.png ";

MyView::MyView(BRect frame, const char* name, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags)
{
    fImage = BTranslationUtils::GetBitmap(picturePath.c_str());
    lstview1 = new BListView(BRect(250, 100, 320, 150), "list1", B_SINGLE_SELECTION_LIST, B_FOLLOW_LEFT | B_FOLLOW_TOP,
                             B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE);
    BScrollView* scroll =
        new BScrollView("scroll1", lstview1, B_FOLLOW_LEFT | B_FOLLOW_TOP, 0, false, true, B_FANCY_BORDER);
    _stringview1 =
        new BStringView(ToRect(kPathDisplay), "StringView1", kEmptyPath, B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW);
    fStatusLine = new BStringView(ToRect(kStatusLine), "StatusLine", "", B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW);
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

void MyView::_SetStatus(const std::string& text) { fStatusLine->SetText(text.c_str()); }

// Starts the selected target on the dropped file beside the window; a click
// while a command runs is ignored.
void MyView::_Convert()
{
    if (shell_running())
        return;
    if (std::string(_stringview1->Text()) == kEmptyPath)
        return;
    int32 selection = lstview1->CurrentSelection();
    if (selection < 0)
        return;
    if (dynamic_cast<BStringItem*>(lstview1->ItemAt(selection)) == nullptr)
        return;
    command = BuildCommand(selection, test1.c_str());
    if (command.empty())
        return;
    fRunningTarget = selection;
    fRunningPath = test1;
    _SetStatus(RunningText(selection, test1));
    if (shell_start(command.c_str(), Window(), this, kMsgCommandDone) != B_OK) {
        fRunningTarget = -1;
        _SetStatus("The command could not be started");
    }
}

void MyView::MouseDown(BPoint)
{
    GetMouse(&where, &buttons, true);
    // Truncated toward zero: 503.9 counts as 503.
    h0 = static_cast<int32>(where.x);
    v0 = static_cast<int32>(where.y);
    if (InSpot(kAboutSpot, h0, v0)) {
        BAlert* about = new BAlert(kAboutTitle, kAboutText, "OK", nullptr, nullptr, B_WIDTH_AS_USUAL, B_INFO_ALERT);
        about->Go();
    } else if (InSpot(kQuitSpot, h0, v0)) {
        be_app->PostMessage(B_QUIT_REQUESTED);
    } else if (InSpot(kConvertSpot, h0, v0) && std::string(_stringview1->Text()) != kEmptyPath) {
        _Convert();
    }
}

// The directory the commands run in, where most of their outputs land.
static std::string WorkingDirectory()
{
    char* here = getcwd(nullptr, 0);
    std::string dir = here != nullptr ? here : ".";
    free(here);
    return dir;
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
        return;
    }
    case kMsgCommandDone: {
        int32 status = -1;
        std::string line;
        message->FindInt32("status", &status);
        message->FindString("error", &line);
        _SetStatus(OutcomeText(fRunningTarget, fRunningPath, status, line, WorkingDirectory()));
        fRunningTarget = -1;
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
