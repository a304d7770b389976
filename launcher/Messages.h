// Message codes of the launcher.
#pragma once

#include "SupportDefs.h"

enum : uint32 {
    kMsgWindowQuit = 0x62783033,  // 'bx03': acts like the window's QuitRequested
    kMsgCommandDone = 0x63646f6e,  // 'cdon': the command ended ("status", "error", "errors", "output")
    kMsgReport = 0x72707274,  // 'rprt': text for the status line ("text")
    kMsgOpenFolder = 0x6f666c64,  // 'ofld': the status line was clicked
    kMsgOpenFolderFailed = 0x6f666e6f,  // 'ofno': the file manager ended in failure ("argument")
};
