#include "View.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>

#include "Bitmap.h"
#include "KitPrivate.h"
#include "ListView.h"
#include "ScrollView.h"
#include "StringView.h"
#include "Window.h"

static BRect ToRect(const QRect& r)
{
    return BRect(r.left(), r.top(), r.right(), r.bottom());
}

void _ViewWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    fPainter = &painter;
    if (auto* scroll = dynamic_cast<BScrollView*>(fView)) {
        // The fancy border: a dark outer and a light inner line.
        if (scroll->Border() == B_FANCY_BORDER) {
            painter.setPen(QColor(0x98, 0x98, 0x98));
            painter.drawRect(0, 0, width() - 1, height() - 1);
            painter.setPen(QColor(0x50, 0x50, 0x50));
            painter.drawRect(1, 1, width() - 3, height() - 3);
        } else if (scroll->Border() == B_PLAIN_BORDER) {
            painter.setPen(QColor(0x50, 0x50, 0x50));
            painter.drawRect(0, 0, width() - 1, height() - 1);
        }
    }
    fView->Draw(ToRect(event->rect()));
    fPainter = nullptr;
}

void _ViewWidget::mousePressEvent(QMouseEvent* event)
{
    uint32 buttons = 0;
    if (event->buttons() & Qt::LeftButton)
        buttons |= B_PRIMARY_MOUSE_BUTTON;
    if (event->buttons() & Qt::RightButton)
        buttons |= B_SECONDARY_MOUSE_BUTTON;
    if (event->buttons() & Qt::MiddleButton)
        buttons |= B_TERTIARY_MOUSE_BUTTON;
    // Qt rounds the widget-local position; the window-relative one keeps
    // the fraction, which the view truncates.
    QPointF at = event->scenePosition() - QPointF(mapTo(window(), QPoint(0, 0)));
    fView->_SetMouse(BPoint(static_cast<float>(at.x()), static_cast<float>(at.y())), buttons);
    fView->MouseDown(BPoint(static_cast<float>(at.x()), static_cast<float>(at.y())));
}

BView::BView(BRect frame, const char* name, uint32, uint32)
    : fFrame(frame), fWidget(new _ViewWidget(this))
{
    fWidget->setObjectName(QString::fromUtf8(name));
    fWidget->setGeometry(static_cast<int>(frame.left), static_cast<int>(frame.top),
                         static_cast<int>(frame.Width()) + 1, static_cast<int>(frame.Height()) + 1);
}

BView::~BView()
{
    for (BView* child : fChildren)
        delete child;
    delete fWidget;
}

void BView::AddChild(BView* child)
{
    child->fParent = this;
    fChildren.push_back(child);
    child->_Widget()->setParent(fWidget);
    child->_MoveTo(child->Frame().left, child->Frame().top);
    child->_SetWindow(fWindow);
    child->_Widget()->show();
}

void BView::_MoveTo(float x, float y)
{
    fWidget->move(static_cast<int>(x), static_cast<int>(y));
}

void BView::_SetWindow(BWindow* window)
{
    fWindow = window;
    for (BView* child : fChildren)
        child->_SetWindow(window);
}

BWindow* BView::Window() const { return fWindow; }

void BView::_SetMouse(BPoint where, uint32 buttons)
{
    fMouse = where;
    fButtons = buttons;
}

void BView::GetMouse(BPoint* location, uint32* buttons, bool)
{
    *location = fMouse;
    *buttons = fButtons;
}

void BView::MessageReceived(BMessage* message)
{
    // What a view does not handle goes on to its parent, as a drop on a
    // child view reaches the view that takes drops.
    if (fParent != nullptr)
        fParent->MessageReceived(message);
}

void BView::DrawBitmap(const BBitmap* bitmap)
{
    QPainter* painter = fWidget->Painter();
    if (bitmap == nullptr || painter == nullptr)
        return;
    painter->drawImage(QPoint(0, 0), bitmap->_Data()->image);
}

// A list fills its view; the scroll bar is its scroll view's.
BListView::BListView(BRect frame, const char* name, list_view_type type, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags), fList(new _ListWidget(_Widget()))
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

BListItem* BListView::ItemAt(int32 index) const
{
    return index >= 0 && index < CountItems() ? fItems[index] : nullptr;
}

void BListView::Select(int32 index)
{
    if (index >= 0 && index < CountItems())
        fList->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

void BListView::DeselectAll()
{
    fList->clearSelection();
}

static float BorderWidth(border_style border)
{
    return border == B_FANCY_BORDER ? kFancyBorderWidth : border == B_PLAIN_BORDER ? kPlainBorderWidth : 0;
}

static BRect FrameAround(BView* target, bool horizontal, bool vertical, border_style border)
{
    float b = BorderWidth(border);
    BRect r = target->Frame();
    return BRect(r.left - b, r.top - b, r.right + b + (vertical ? B_V_SCROLL_BAR_WIDTH : 0),
                 r.bottom + b + (horizontal ? B_H_SCROLL_BAR_HEIGHT : 0));
}

BScrollView::BScrollView(const char* name, BView* target, uint32 resizingMode, uint32 flags,
                         bool horizontal, bool vertical, border_style border)
    : BView(FrameAround(target, horizontal, vertical, border), name, resizingMode, flags),
      fBorder(border)
{
    const float b = BorderWidth(border);
    BRect inside = target->Frame();
    inside.OffsetTo(b, b);
    AddChild(target);
    target->_MoveTo(b, b);
    auto* list = dynamic_cast<BListView*>(target);
    if (vertical && list != nullptr) {
        // The bar beside the target drives the list's own scrolling.
        QAbstractScrollArea* area = _Widget()->findChild<_ListWidget*>();
        auto* bar = new QScrollBar(Qt::Vertical, _Widget());
        bar->setGeometry(static_cast<int>(inside.right) + 1, static_cast<int>(b), B_V_SCROLL_BAR_WIDTH,
                         static_cast<int>(inside.Height()) + 1);
        QScrollBar* own = area->verticalScrollBar();
        QObject::connect(own, &QScrollBar::rangeChanged, bar, &QScrollBar::setRange);
        QObject::connect(own, &QScrollBar::valueChanged, bar, &QScrollBar::setValue);
        QObject::connect(bar, &QScrollBar::valueChanged, own, &QScrollBar::setValue);
        bar->setRange(own->minimum(), own->maximum());
        bar->setPageStep(own->pageStep());
        QObject::connect(own, &QScrollBar::rangeChanged, bar, [bar, own] { bar->setPageStep(own->pageStep()); });
    }
}

BStringView::BStringView(BRect frame, const char* name, const char* text, uint32 resizingMode, uint32 flags)
    : BView(frame, name, resizingMode, flags)
{
    auto* label = new QLabel(_Widget());
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(0, 0, _Widget()->width(), _Widget()->height());
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setObjectName(QString::fromUtf8(name));
    SetText(text);
}

void BStringView::SetText(const char* text)
{
    fText = text != nullptr ? text : "";
    _Widget()->findChild<QLabel*>()->setText(QString::fromUtf8(fText.c_str()));
}
