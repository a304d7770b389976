// Message codes of the launcher.
#pragma once

#include "SupportDefs.h"

enum : uint32 {
    kMsgWindowQuit = 0x62783033,  // 'bx03': acts like the window's QuitRequested
};
