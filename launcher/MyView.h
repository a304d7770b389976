// The launcher's main view: the picture, the path display, the target list
// and the status line; it takes drops, reacts to the three spots and runs
// the selected target's command beside the window.
#pragma once

#include <sys/stat.h>

#include <string>

#include "ListView.h"
#include "StringView.h"
#include "View.h"
#include "targets.h"

class BBitmap;

class MyView : public BView {
public:
    MyView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    ~MyView() override;
    void MessageReceived(BMessage* message) override;
    void Draw(BRect updateRect) override;
    void MouseDown(BPoint where) override;
    // Return and keypad Enter convert, as a click on the Convert spot does.
    void KeyDown(const char* bytes, int32 numBytes) override;
    // Ends a running command; removes the output file it was writing when
    // the run made or changed it, and says so on standard output.
    void StopCommand();

private:
    void _Convert();
    void _SetStatus(const std::string& text);

    BBitmap* fImage;  // null when the picture could not be loaded
    BStringView* fStatusLine;  // what runs, and how it ended
    // The command running beside the window, or the last one: its run,
    // and its output file as it was before it started.
    struct Conversion {
        TargetRun run;
        bool outputExisted = false;
        struct stat outputBefore = {};
    } fConversion;
    std::string fFolder;  // the folder a click on the status line opens, or ""
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
