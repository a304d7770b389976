#include <QCoreApplication>

#include "KitPrivate.h"
#include "Looper.h"

QEvent::Type _MessageEvent::EventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

bool _LooperQueue::event(QEvent* event)
{
    if (event->type() != _MessageEvent::EventType())
        return QObject::event(event);
    auto* message = static_cast<_MessageEvent*>(event);
    BMessage* outer = fLooper->fCurrent;
    fLooper->fCurrent = &message->fMessage;
    fLooper->DispatchMessage(&message->fMessage, message->fHandler);
    fLooper->fCurrent = outer;
    return true;
}

BLooper::BLooper() : fQueue(new _LooperQueue(this)) { }

BLooper::~BLooper()
{
    // Pending messages go with the queue.
    delete fQueue;
}

status_t BLooper::PostMessage(uint32 command)
{
    BMessage message(command);
    return PostMessage(&message);
}

status_t BLooper::PostMessage(BMessage* message, BHandler* handler)
{
    if (message == nullptr)
        return B_BAD_VALUE;
    QCoreApplication::postEvent(fQueue, new _MessageEvent(*message, handler));
    return B_OK;
}

void BLooper::DispatchMessage(BMessage* message, BHandler* handler)
{
    if (handler != nullptr)
        handler->MessageReceived(message);
    else
        MessageReceived(message);
}
