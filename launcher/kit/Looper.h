// Loopers: handlers that queue messages for themselves and others.
#pragma once

#include "Handler.h"

class _LooperQueue;

// Messages posted to a looper are queued on the GUI thread's event queue and
// delivered later, in order: to the given handler's MessageReceived, or to
// the looper's own dispatch.
class BLooper : public BHandler {
public:
    BLooper();
    ~BLooper() override;
    status_t PostMessage(uint32 command);
    status_t PostMessage(BMessage* message, BHandler* handler = nullptr);
    virtual bool QuitRequested() { return true; }

    // Delivers one message taken from the queue.
    virtual void DispatchMessage(BMessage* message, BHandler* handler);
    // The message being delivered, or null outside a delivery.
    BMessage* CurrentMessage() const { return fCurrent; }

private:
    friend class _LooperQueue;
    _LooperQueue* fQueue;
    BMessage* fCurrent = nullptr;
};
