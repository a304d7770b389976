// Controls: views that the user sets or presses, each sending its message
// when invoked. A control's message goes through its window's queue to its
// target, by default the view it was added to.
#pragma once

#include <string>

#include "Message.h"
#include "View.h"

class QAbstractButton;
class QWidget;

class BControl : public BView {
public:
    // Takes ownership of message, which may be null (nothing is sent).
    BControl(BRect frame, const char* name, const char* label, BMessage* message, uint32 resizingMode, uint32 flags);
    ~BControl() override;

    void SetLabel(const char* label);
    const char* Label() const { return fLabel.c_str(); }
    // 0 or 1: whether a check box or radio button is set.
    virtual void SetValue(int32 value);
    int32 Value() const;
    void SetEnabled(bool enabled);
    bool IsEnabled() const;
    void SetTarget(BHandler* target) { fTarget = target; }
    // Sends a copy of the control's message, with "be:value".
    virtual status_t Invoke();

protected:
    // The kit's classes give the button widget they show.
    void _SetButton(QAbstractButton* button);
    QAbstractButton* _Button() const { return fButton; }
    // The widget a control's button goes into.
    QWidget* _Host() const;

private:
    std::string fLabel;
    BMessage* fMessage;
    BHandler* fTarget = nullptr;
    QAbstractButton* fButton = nullptr;
};

// A push button drawn in the platform's look; Space and Return press the
// one with the focus, and a double click presses it once.
class BButton : public BControl {
public:
    BButton(BRect frame, const char* name, const char* label, BMessage* message,
            uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    void MakeDefault(bool isDefault);
};

class BCheckBox : public BControl {
public:
    BCheckBox(BRect frame, const char* name, const char* label, BMessage* message,
              uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
};

// One of the radio buttons of a parent view: setting it clears the others.
class BRadioButton : public BControl {
public:
    BRadioButton(BRect frame, const char* name, const char* label, BMessage* message,
                 uint32 resizingMode = B_FOLLOW_LEFT | B_FOLLOW_TOP, uint32 flags = B_WILL_DRAW | B_NAVIGABLE);
    void SetValue(int32 value) override;
};
