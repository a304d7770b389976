// Constants of the interface kit, with their BeOS values.
#pragma once

#include "SupportDefs.h"

// Resizing modes: which sides of the parent a view's sides follow.
enum : uint32 {
    B_FOLLOW_LEFT = 0x0202,
    B_FOLLOW_TOP = 0x1010,
    B_FOLLOW_ALL_SIDES = 0x1234,
};

// View flags.
enum : uint32 {
    B_WILL_DRAW = 0x20000000,
    B_FRAME_EVENTS = 0x04000000,
    B_NAVIGABLE = 0x02000000,
};

enum window_type { B_TITLED_WINDOW = 1 };
enum window_look { B_TITLED_WINDOW_LOOK = 1, B_BORDERED_WINDOW_LOOK = 20 };
enum : uint32 { B_CURRENT_WORKSPACE = 0 };

enum border_style { B_PLAIN_BORDER = 0, B_FANCY_BORDER = 1, B_NO_BORDER = 2 };
enum list_view_type { B_SINGLE_SELECTION_LIST = 0 };
enum button_width { B_WIDTH_AS_USUAL = 0 };
enum alert_type { B_EMPTY_ALERT = 0, B_INFO_ALERT = 1, B_WARNING_ALERT = 3 };
// Key bytes that KeyDown receives.
enum : char { B_ENTER = '\n', B_ESCAPE = 0x1B };
// Where a BStringView cuts a text too long for it, putting an ellipsis.
enum : uint32 { B_TRUNCATE_END = 0, B_TRUNCATE_BEGINNING = 1 };

// Scroll bar thickness and border widths, which size a scroll view around
// its target.
enum { B_V_SCROLL_BAR_WIDTH = 14, B_H_SCROLL_BAR_HEIGHT = 14 };
enum { kFancyBorderWidth = 2, kPlainBorderWidth = 1 };

// A colour, its channels 0 to 255.
struct rgb_color {
    uint8 red, green, blue, alpha;
};

// Modifier keys of shortcuts, and the function key F1 as a shortcut's key.
enum : uint32 { B_SHIFT_KEY = 0x1, B_COMMAND_KEY = 0x2, B_CONTROL_KEY = 0x4 };
enum : uint32 { B_F1_KEY = 0x02 };

// Mouse buttons as GetMouse reports them.
enum : uint32 { B_PRIMARY_MOUSE_BUTTON = 1, B_SECONDARY_MOUSE_BUTTON = 2, B_TERTIARY_MOUSE_BUTTON = 4 };
