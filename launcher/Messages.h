// Message codes of the launcher.
#pragma once

#include "SupportDefs.h"

enum : uint32 {
    kMsgWindowQuit = 0x62783033,  // 'bx03': acts like the window's QuitRequested
    kMsgCommandDone = 0x63646f6e,  // 'cdon': the command ended ("status", "error", "errors", "output")
    kMsgReport = 0x72707274,  // 'rprt': text for the status line ("text")
    kMsgOpenFolder = 0x6f666c64,  // 'ofld': the status line was clicked
    kMsgOpenFolderFailed = 0x6f666e6f,  // 'ofno': the file manager ended in failure ("argument")
    kMsgConvert = 0x636e7674,  // 'cnvt': the Convert button (Stop while a run goes)
    kMsgQuit = 0x71756974,  // 'quit': the Quit button
    kMsgAbout = 0x61627574,  // 'abut': the About button and F1
    kMsgOpenPanel = 0x6f70656e,  // 'open': Ctrl+O, the file panel
    kMsgOutputsGo = 0x706c6365,  // 'plce': a choice of where outputs go ("be:value", "place")
    kMsgTargetChosen = 0x74736c63,  // 'tslc': the list's selection changed ("index")
    kMsgProgress = 0x70726f67,  // 'prog': how far the run is ("progress", per mille)
};
