// The Qt side of the kit layer: the widgets and event objects behind the
// kit's classes. Only the kit's own sources include this.
#pragma once

#include <QEvent>
#include <QImage>
#include <QObject>
#include <QPainter>
#include <QWidget>

#include "Message.h"

class BHandler;
class BLooper;
class BView;
class BWindow;

// A message on its way through a looper's queue.
class _MessageEvent : public QEvent {
public:
    static QEvent::Type EventType();
    _MessageEvent(const BMessage& message, BHandler* handler)
        : QEvent(EventType()), fMessage(message), fHandler(handler)
    {
    }
    BMessage fMessage;
    BHandler* fHandler;
};

class _LooperQueue : public QObject {
public:
    explicit _LooperQueue(BLooper* looper) : fLooper(looper) { }
    bool event(QEvent* event) override;

private:
    BLooper* fLooper;
};

// The widget of every view: forwards painting and clicks to the view.
class _ViewWidget : public QWidget {
public:
    explicit _ViewWidget(BView* view) : fView(view) { }
    BView* View() const { return fView; }
    QPainter* Painter() const { return fPainter; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    BView* fView;
    QPainter* fPainter = nullptr;
};

// The top-level widget of a window: draws the thin border, takes drops and
// turns a close into a quit request.
class _WindowWidget : public QWidget {
public:
    explicit _WindowWidget(BWindow* window);
    static constexpr int kBorder = 1;

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    BWindow* fWindow;
};

class _BitmapData {
public:
    QImage image;
};
