#include "View.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>

#include "Bitmap.h"
#include "Window.h"
#include "KitPrivate.h"

static BRect ToRect(const QRect& r) { return BRect(r.left(), r.top(), r.right(), r.bottom()); }

void _ViewWidget::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    fPainter = &painter;
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

// Hands the key to the view, then lets it travel on to the parents and the
// window, which takes the quit shortcut.
void _ViewWidget::keyPressEvent(QKeyEvent* event)
{
    std::string bytes;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        bytes = std::string(1, B_ENTER);
    else if (event->key() == Qt::Key_Escape)
        bytes = std::string(1, B_ESCAPE);
    else
        bytes = event->text().toStdString();
    if (!bytes.empty())
        fView->KeyDown(bytes.data(), static_cast<int32>(bytes.size()));
    event->ignore();
}

void BView::SetToolTip(const char* text)
{
    const QString tip = text != nullptr ? QString::fromUtf8(text) : QString();
    fWidget->setToolTip(tip);
    fWidget->setAccessibleDescription(tip);
    for (QWidget* child : fWidget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->setAccessibleDescription(tip);
}

BView::BView(BRect frame, const char* name, uint32, uint32) : fFrame(frame), fWidget(new _ViewWidget(this))
{
    fWidget->setObjectName(QString::fromUtf8(name));
    fWidget->setGeometry(static_cast<int>(frame.left), static_cast<int>(frame.top), static_cast<int>(frame.Width()) + 1,
                         static_cast<int>(frame.Height()) + 1);
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

// The widget that does the view's work: its one child widget (a label, a
// list, a button), or the view's own.
static QWidget* Inner(QWidget* widget)
{
    QWidget* child = widget->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    return child != nullptr && dynamic_cast<_ViewWidget*>(child) == nullptr ? child : widget;
}

void BView::SetHighColor(rgb_color color)
{
    QWidget* inner = Inner(fWidget);
    QPalette palette = inner->palette();
    // The role labels and the texts of check boxes and radio buttons take;
    // their marks keep the palette's own.
    palette.setColor(QPalette::WindowText, QColor(color.red, color.green, color.blue, color.alpha));
    inner->setPalette(palette);
}

void BView::SetAccessibleName(const char* name)
{
    const QString text = QString::fromUtf8(name != nullptr ? name : "");
    fWidget->setAccessibleName(text);
    Inner(fWidget)->setAccessibleName(text);
}

void BView::Show() { fWidget->show(); }
void BView::Hide() { fWidget->hide(); }
bool BView::IsHidden() const { return fWidget->isHidden(); }

void BView::MakeFocus(bool focus)
{
    if (focus)
        Inner(fWidget)->setFocus(Qt::OtherFocusReason);
    else
        Inner(fWidget)->clearFocus();
}

void BView::_MoveTo(float x, float y) { fWidget->move(static_cast<int>(x), static_cast<int>(y)); }

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
