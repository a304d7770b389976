// Views: rectangles of a window that draw, take clicks and receive
// messages (drops among them). Frames are in the parent's coordinates. The
// window never resizes, so resizing modes are accepted and not kept; every
// view draws.
#pragma once

#include <string>
#include <vector>

#include "Handler.h"
#include "InterfaceDefs.h"
#include "Rect.h"

class BBitmap;
class BWindow;
class _ViewWidget;

class BView : public BHandler {
public:
    BView(BRect frame, const char* name, uint32 resizingMode, uint32 flags);
    ~BView() override;

    virtual void Draw(BRect updateRect) { (void)updateRect; }
    virtual void MouseDown(BPoint where) { (void)where; }
    // A key pressed while the view or one of its children has the focus:
    // its UTF-8 bytes (B_ENTER for Return and Enter, B_ESCAPE for Escape).
    virtual void KeyDown(const char* bytes, int32 numBytes) { (void)bytes, (void)numBytes; }
    // The text shown while the mouse rests on the view, which screen
    // readers also read as the view's description; null removes it.
    void SetToolTip(const char* text);
    // Passes the message on to the parent view.
    void MessageReceived(BMessage* message) override;

    // The colour of the text the view shows; by default the palette's.
    void SetHighColor(rgb_color color);
    // The name screen readers give the view (the kit's own addition).
    void SetAccessibleName(const char* name);
    void Show();
    void Hide();
    bool IsHidden() const;
    // Gives the view (or the control inside it) the keyboard focus.
    void MakeFocus(bool focus = true);

    void AddChild(BView* child);
    int32 CountChildren() const { return static_cast<int32>(fChildren.size()); }
    BView* ChildAt(int32 index) const { return index >= 0 && index < CountChildren() ? fChildren[index] : nullptr; }
    // The position (view coordinates) and buttons of the mouse event being
    // handled.
    void GetMouse(BPoint* location, uint32* buttons, bool checkMessageQueue = true);
    // Draws the bitmap at its own size at the pen position, the origin.
    void DrawBitmap(const BBitmap* bitmap);

    BRect Frame() const { return fFrame; }
    BView* Parent() const { return fParent; }
    BWindow* Window() const;

private:
    // The kit's own classes reach the widget behind a view.
    friend class BWindow;
    friend class BListView;
    friend class BScrollView;
    friend class BStringView;
    friend class BTextView;
    friend class BControl;
    friend class BStatusBar;
    friend class _ViewWidget;

    _ViewWidget* _Widget() const { return fWidget; }
    void _SetWindow(BWindow* window);
    void _MoveTo(float x, float y);
    void _SetMouse(BPoint where, uint32 buttons);

    BRect fFrame;
    BView* fParent = nullptr;
    BWindow* fWindow = nullptr;
    std::vector<BView*> fChildren;
    BPoint fMouse;
    uint32 fButtons = 0;
    _ViewWidget* fWidget;
};
