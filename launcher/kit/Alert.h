// A modal message box.
#pragma once

#include <string>

#include "InterfaceDefs.h"

class BAlert {
public:
    BAlert(const char* title, const char* text, const char* button0, const char* button1 = nullptr,
           const char* button2 = nullptr, button_width width = B_WIDTH_AS_USUAL, alert_type type = B_INFO_ALERT);
    // Makes key press button index: B_ESCAPE, or a letter, alone or with
    // Alt.
    void SetShortcut(int32 index, char key);
    // The button that Return and Enter press: by default the first.
    void SetDefaultButton(int32 index);
    // Adds a check box of that label under the text; Go sets *checked to
    // whether it was ticked (the kit's addition).
    void SetCheckBox(const char* label, bool* checked);
    // Shows the box, waits until it is closed, deletes it and returns the
    // index of the button pressed (-1 when closed otherwise).
    int32 Go();

private:
    ~BAlert() = default;
    std::string fTitle, fText, fButtons[3];
    alert_type fType;
    int32 fEscape = -1;  // the button that Escape presses, or none
    int32 fDefault = 0;
    char fKeys[3] = {};  // the letter that presses each button, or 0
    std::string fCheckLabel;
    bool* fChecked = nullptr;
};
