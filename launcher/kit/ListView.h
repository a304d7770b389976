// A list of items, one selectable at a time.
#pragma once

#include <string>
#include <vector>

#include "View.h"

// Items of a flat list: outline levels and expansion are accepted and not
// kept.
class BListItem {
public:
    BListItem(uint32 outlineLevel = 0, bool expanded = true) { (void)outlineLevel, (void)expanded; }
    virtual ~BListItem() = default;
    // A disabled item is drawn greyed; it can still be selected. The list
    // shows a change once InvalidateItem is called.
    void SetEnabled(bool enabled) { fEnabled = enabled; }
    bool IsEnabled() const { return fEnabled; }

private:
    bool fEnabled = true;
};

class BStringItem : public BListItem {
public:
    BStringItem(const char* text, uint32 outlineLevel = 0, bool expanded = true)
        : BListItem(outlineLevel, expanded), fText(text)
    {
    }
    const char* Text() const { return fText.c_str(); }

private:
    std::string fText;
};

class QListWidget;

class BListView : public BView {
public:
    BListView(BRect frame, const char* name, list_view_type type, uint32 resizingMode, uint32 flags);
    ~BListView() override;

    // Takes ownership of the item.
    bool AddItem(BListItem* item);
    int32 CountItems() const { return static_cast<int32>(fItems.size()); }
    // The index-th selected index in ascending order, or a negative number.
    int32 CurrentSelection(int32 index = 0) const;
    BListItem* ItemAt(int32 index) const;
    void Select(int32 index);
    void DeselectAll();
    // Draws the item at index anew.
    void InvalidateItem(int32 index);
    // A copy of message goes to the list's parent view, through the
    // window's queue, whenever the selection changes (with "index", the
    // first selected one). Takes ownership.
    void SetSelectionMessage(BMessage* message);

private:
    // The widget that shows the items, for the scroll view's bar.
    friend class BScrollView;
    QListWidget* _List() const { return fList; }

    std::vector<BListItem*> fItems;
    BMessage* fSelectionMessage = nullptr;
    QListWidget* fList;
};
