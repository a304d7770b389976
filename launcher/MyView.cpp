#include "MyView.h"

#include "Alert.h"
#include "AppDefs.h"
#include "Application.h"
#include "Bitmap.h"
#include "Entry.h"
#include "ScrollView.h"
#include "Shell.h"
#include "targets.h"

BListView* lstview1;
BStringView* _stringview1;
BPoint where;
uint32 buttons;
int32 h0, v0;
std::string picturePath = std::string(kInstallDir) + "/conv.jpg";

// The picture shows three spots; both bounds belong to each, and they are
// tested in this order.
static const BRect kAboutSpot(468, 128, 503, 161);
static const BRect kQuitSpot(427, 416, 550, 446);
static const BRect kConvertSpot(114, 416, 233, 446);

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
    lstview1 = new BListView(BRect(250, 100, 320, 150), "list1", B_SINGLE_SELECTION_LIST,
                             B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW | B_FRAME_EVENTS | B_NAVIGABLE);
    BScrollView* scroll = new BScrollView("scroll1", lstview1, B_FOLLOW_LEFT | B_FOLLOW_TOP, 0,
                                          false, true, B_FANCY_BORDER);
    _stringview1 = new BStringView(BRect(41, 95, 234, 133), "StringView1", kEmptyPath,
                                   B_FOLLOW_LEFT | B_FOLLOW_TOP, B_WILL_DRAW);
    AddChild(scroll);
    AddChild(_stringview1);
    for (int i = 0; i < kTargetCount; i++)
        lstview1->AddItem(new BStringItem(listitems[i], 0, true));
}

MyView::~MyView()
{
    delete fImage;
}

void MyView::Draw(BRect)
{
    if (fImage != nullptr)
        DrawBitmap(fImage);
}

static bool InSpot(const BRect& spot, int32 x, int32 y)
{
    return x >= spot.left && x <= spot.right && y >= spot.top && y <= spot.bottom;
}

// Runs the selected target on the dropped file.
static void ConvertAction()
{
    if (std::string(_stringview1->Text()) == kEmptyPath)
        return;
    int32 selection = lstview1->CurrentSelection();
    if (selection < 0)
        return;
    if (dynamic_cast<BStringItem*>(lstview1->ItemAt(selection)) == nullptr)
        return;
    if (BuildCommand(selection, test1.c_str()) != 0)
        return;
    shell_system(command.c_str());
}

void MyView::MouseDown(BPoint)
{
    GetMouse(&where, &buttons, true);
    // Truncated toward zero: 503.9 counts as 503.
    h0 = static_cast<int32>(where.x);
    v0 = static_cast<int32>(where.y);
    if (InSpot(kAboutSpot, h0, v0)) {
        BAlert* about = new BAlert(kAboutTitle, kAboutText, "OK", nullptr, nullptr, B_WIDTH_AS_USUAL,
                                   B_INFO_ALERT);
        about->Go();
    } else if (InSpot(kQuitSpot, h0, v0)) {
        be_app->PostMessage(B_QUIT_REQUESTED);
    } else if (InSpot(kConvertSpot, h0, v0) && std::string(_stringview1->Text()) != kEmptyPath) {
        ConvertAction();
    }
}

void MyView::MessageReceived(BMessage* message)
{
    if (message->what != B_SIMPLE_DATA)
        return;
    entry_ref ref;
    if (message->FindRef("refs", &ref) != B_OK)
        return;
    BEntry entry;
    if (entry.SetTo(&ref, false) != B_OK)
        return;
    BPath path;
    if (entry.GetPath(&path) != B_OK || path.Path() == nullptr)
        return;
    test1 = path.Path();
    _stringview1->SetText(test1.c_str());
}
