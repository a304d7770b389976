// The launcher's main view: the picture, the path display, the target list
// and the status line; it takes drops, reacts to the three spots and runs
// the selected target's command beside the window.
#pragma once

#include <string>
#include <vector>

#include "Control.h"
#include "FilePanel.h"
#include "ListView.h"
#include "StatusBar.h"
#include "StringView.h"
#include "TextView.h"
#include "View.h"
#include "output_claim.h"
#include "settings.h"
#include "targets.h"

class BBitmap;

class MyView : public BView {
public:
    MyView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    ~MyView() override;
    void MessageReceived(BMessage* message) override;
    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    // Return and keypad Enter convert, as a click on the Convert spot does;
    // Escape stops a run.
    void KeyDown(const char* bytes, int32 numBytes) override;
    // Ends a running command; removes the output file it was writing and
    // puts back the earlier file that Replace set aside, saying so on
    // standard output. The files still queued are not converted.
    void StopCommand();
    // Whether a conversion runs.
    bool IsRunning() const;

private:
    // Takes the files of a drop or of the file panel: the first becomes
    // test1, all of them the files the next Convert runs on.
    void _TakeFiles(BMessage* message);
    void _Convert();
    // Starts the next file of the queue that can be started; once none is
    // left, says how the queue went.
    void _StartNext();
    // Claims the run's output name, asking first when something is there;
    // false when the run is not to start (the status line says why).
    bool _ClaimOutput(TargetRun* run);
    void _Finish(const Outcome& outcome);
    void _Stop();
    // The Convert button and spot: Stop while a run goes.
    void _ConvertOrStop();
    void _ShowRunning(bool running);
    // Greys the targets that can read none of the files, by their kinds.
    void _GreyTargets();
    void _About();
    // Shows text on the status line, or shortText when text needs more
    // lines than the line holds; the tooltip and the description that
    // screen readers read hold text and the details after it.
    void _SetStatus(const std::string& text, const std::string& shortText = "", const std::string& details = "");

    BBitmap* fImage;  // null when the picture could not be loaded
    BTextView* fStatusLine;  // what runs, and how it ended
    // The command running beside the window, or the last one, and the
    // claim on its output's name while it runs.
    TargetRun fRun;
    OutputClaim fClaim;
    std::string fFolder;  // the folder a click on the status line opens, or ""

    BButton* fConvert;  // reads Stop while a run goes
    BStatusBar* fProgress;  // shown while a run goes
    BRadioButton* fInStartFolder;
    BRadioButton* fBesideInput;
    BFilePanel* fPanel = nullptr;  // made at the first Ctrl+O
    Settings fSettings;
    // The files taken last (test1 is the first of them) and their kinds.
    std::vector<std::string> fFiles;
    std::vector<FileKind> fKinds;
    // The queue being converted: its files, the index of the next one, the
    // target, what was converted and what failed (one line each), and the
    // answer that "Do the same for the rest" keeps for the "already
    // exists" alert (-1: ask).
    std::vector<std::string> fQueue;
    size_t fNext = 0;
    int32 fQueueTarget = -1;
    size_t fConverted = 0;
    std::vector<std::string> fFailures;
    int32 fRestAnswer = -1;
    // For a run whose PNG files go beside its input: that folder and the
    // PNG files it held before, so that Stop can remove the run's own.
    std::string fPngFolder;
    std::vector<std::string> fPngsBefore;
};

// The absolute path of the last file dropped on the window (empty before),
// and the last command line built for it.
extern std::string test1;
extern std::string command;
// The target list and the path display, set when the main view is built.
extern BListView* lstview1;
extern BStringView* _stringview1;
// The last click: position and buttons as read, and the position truncated.
extern BPoint where;
extern uint32 buttons;
extern int32 h0, v0;

// The background picture's path: conv.jpg in the installation directory.
extern std::string picturePath;
