#include "Window.h"

#include <QCloseEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QShortcut>
#include <QTimer>
#include <QUrl>

#include "AppDefs.h"
#include "Application.h"
#include "KitPrivate.h"
#include "View.h"

_WindowWidget::_WindowWidget(BWindow* window) : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), fWindow(window)
{
    setAcceptDrops(true);
}

void _WindowWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(QColor(0x60, 0x60, 0x60));
    painter.drawRect(0, 0, width() - 1, height() - 1);
}

void _WindowWidget::closeEvent(QCloseEvent* event)
{
    // The window decides: a quit request goes through its queue.
    event->ignore();
    fWindow->PostMessage(B_QUIT_REQUESTED);
}

void _WindowWidget::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void _WindowWidget::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

// Command+Q, which every BeOS window takes: Alt+Q (the Command key) and
// Ctrl+Q ask the application to quit.
void _WindowWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Q && (event->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) != 0 &&
        be_app != nullptr) {
        be_app->PostMessage(B_QUIT_REQUESTED);
        return;
    }
    QWidget::keyPressEvent(event);
}

// A drop becomes a B_SIMPLE_DATA message with the dropped files under
// "refs", queued for the view under the pointer.
void _WindowWidget::dropEvent(QDropEvent* event)
{
    BMessage message(B_SIMPLE_DATA);
    for (const QUrl& url : event->mimeData()->urls()) {
        // The path's bytes come from its percent-encoded form, never through
        // a text string, so that a name that is not UTF-8 stays whole.
        QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        entry_ref ref;
        if (!url.isLocalFile())
            message.AddString("be:url", url.toString().toStdString());
        else if (get_ref_for_path(path.constData(), &ref) == B_OK)
            message.AddRef("refs", &ref);
        else
            message.AddString("be:missing", path.toStdString());
    }
    BView* target = nullptr;
    for (QWidget* w = childAt(event->position().toPoint()); w != nullptr && target == nullptr; w = w->parentWidget())
        if (auto* view = dynamic_cast<_ViewWidget*>(w))
            target = view->View();
    if (target == nullptr)
        return;
    fWindow->PostMessage(&message, target);
    event->acceptProposedAction();
}

BWindow::BWindow(BRect frame, const char* title, window_type, uint32, uint32) : fWidget(new _WindowWidget(this))
{
    const int b = _WindowWidget::kBorder;
    fWidget->setWindowTitle(QString::fromUtf8(title));
    fWidget->setGeometry(static_cast<int>(frame.left) - b, static_cast<int>(frame.top) - b,
                         static_cast<int>(frame.Width()) + 1 + 2 * b, static_cast<int>(frame.Height()) + 1 + 2 * b);
    fWidget->setFixedSize(fWidget->size());
    if (be_app != nullptr)
        be_app->_AddWindow(this);
}

BWindow::~BWindow()
{
    if (be_app != nullptr)
        be_app->_RemoveWindow(this);
    for (BView* view : fChildren)
        delete view;
    delete fWidget;
}

void BWindow::SetLook(window_look) { }

void BWindow::Show() { fWidget->show(); }
void BWindow::Hide() { fWidget->hide(); }

void BWindow::AddChild(BView* view)
{
    const int b = _WindowWidget::kBorder;
    fChildren.push_back(view);
    view->_Widget()->setParent(fWidget);
    view->_MoveTo(view->Frame().left + b, view->Frame().top + b);
    view->_SetWindow(this);
    view->_Widget()->show();
}

void BWindow::AddShortcut(uint32 key, uint32 modifiers, BMessage* message, BHandler* target)
{
    int code = key == B_F1_KEY ? static_cast<int>(Qt::Key_F1)
                               : static_cast<int>(QChar(static_cast<char16_t>(key)).toUpper().unicode());
    if ((modifiers & B_COMMAND_KEY) != 0)
        code |= Qt::AltModifier;
    if ((modifiers & B_CONTROL_KEY) != 0)
        code |= Qt::ControlModifier;
    if ((modifiers & B_SHIFT_KEY) != 0)
        code |= Qt::ShiftModifier;
    auto* shortcut = new QShortcut(QKeySequence(code), fWidget);
    shortcut->setContext(Qt::WindowShortcut);
    const BMessage copy(*message);
    delete message;
    QObject::connect(shortcut, &QShortcut::activated, [this, copy, target] {
        BMessage sent(copy);
        PostMessage(&sent, target);
    });
}

void BWindow::Quit()
{
    Hide();
    if (be_app != nullptr)
        be_app->_RemoveWindow(this);
    QTimer::singleShot(0, [this] { delete this; });
}

void BWindow::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (handler == nullptr && message->what == B_QUIT_REQUESTED) {
        if (QuitRequested())
            Quit();
        return;
    }
    BLooper::DispatchMessage(message, handler);
}
