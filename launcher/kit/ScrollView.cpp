#include "ScrollView.h"

#include <QListWidget>
#include <QPainter>
#include <QScrollBar>

#include "ListView.h"
#include "KitPrivate.h"

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

BScrollView::BScrollView(const char* name, BView* target, uint32 resizingMode, uint32 flags, bool horizontal,
                         bool vertical, border_style border)
    : BView(FrameAround(target, horizontal, vertical, border), name, resizingMode, flags), fBorder(border)
{
    const float b = BorderWidth(border);
    BRect inside = target->Frame();
    inside.OffsetTo(b, b);
    AddChild(target);
    target->_MoveTo(b, b);
    auto* list = dynamic_cast<BListView*>(target);
    if (vertical && list != nullptr) {
        // The bar beside the target drives the list's own scrolling.
        QAbstractScrollArea* area = list->_List();
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

// The fancy border: a dark outer and a light inner line; the plain one a
// single dark line.
void BScrollView::Draw(BRect)
{
    QPainter* painter = _Widget()->Painter();
    const int w = _Widget()->width(), h = _Widget()->height();
    if (painter == nullptr || fBorder == B_NO_BORDER)
        return;
    if (fBorder == B_FANCY_BORDER) {
        painter->setPen(QColor(0x98, 0x98, 0x98));
        painter->drawRect(0, 0, w - 1, h - 1);
        painter->setPen(QColor(0x50, 0x50, 0x50));
        painter->drawRect(1, 1, w - 3, h - 3);
    } else {
        painter->setPen(QColor(0x50, 0x50, 0x50));
        painter->drawRect(0, 0, w - 1, h - 1);
    }
}
