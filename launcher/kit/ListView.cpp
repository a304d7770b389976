#include "ListView.h"

#include <QListWidget>

#include "KitPrivate.h"
#include "Window.h"

// A list fills its view; the scroll bar is its scroll view's.
BListView::BListView(BRect frame, const char* name, list_view_type type, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags), fList(new QListWidget(_Widget()))
{
    fList->setGeometry(0, 0, _Widget()->width(), _Widget()->height());
    fList->setFrameShape(QFrame::NoFrame);
    (void)type;  // the only type is the single-selection list
    fList->setSelectionMode(QAbstractItemView::SingleSelection);
    fList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fList->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    fList->setAcceptDrops(false);
    fList->setObjectName(QString::fromUtf8(name));
}

BListView::~BListView()
{
    delete fSelectionMessage;
    for (BListItem* item : fItems)
        delete item;
}

bool BListView::AddItem(BListItem* item)
{
    if (item == nullptr)
        return false;
    fItems.push_back(item);
    auto* text = dynamic_cast<BStringItem*>(item);
    fList->addItem(text != nullptr ? QString::fromUtf8(text->Text()) : QString());
    return true;
}

int32 BListView::CurrentSelection(int32 index) const
{
    std::vector<int32> selected;
    for (int32 i = 0; i < CountItems(); i++)
        if (fList->item(i)->isSelected())
            selected.push_back(i);
    return index >= 0 && index < static_cast<int32>(selected.size()) ? selected[index] : -1;
}

BListItem* BListView::ItemAt(int32 index) const { return index >= 0 && index < CountItems() ? fItems[index] : nullptr; }

void BListView::Select(int32 index)
{
    if (index >= 0 && index < CountItems())
        fList->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

void BListView::DeselectAll() { fList->clearSelection(); }

void BListView::InvalidateItem(int32 index)
{
    QListWidgetItem* item = fList->item(index);
    if (item == nullptr)
        return;
    const bool enabled = fItems[index]->IsEnabled();
    // Greyed the way the palette greys disabled text, and still selectable.
    item->setForeground(enabled ? fList->palette().brush(QPalette::Active, QPalette::Text)
                                : fList->palette().brush(QPalette::Disabled, QPalette::Text));
    item->setData(Qt::AccessibleDescriptionRole, enabled ? QString() : QString("not for this file"));
}

void BListView::SetSelectionMessage(BMessage* message)
{
    delete fSelectionMessage;
    fSelectionMessage = message;
    QObject::disconnect(fList, &QListWidget::itemSelectionChanged, nullptr, nullptr);
    if (message == nullptr)
        return;
    QObject::connect(fList, &QListWidget::itemSelectionChanged, [this] {
        if (fSelectionMessage == nullptr || Window() == nullptr || Parent() == nullptr)
            return;
        BMessage copy(*fSelectionMessage);
        copy.AddInt32("index", CurrentSelection());
        Window()->PostMessage(&copy, Parent());
    });
}
