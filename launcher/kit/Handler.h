// Objects that receive messages.
#pragma once

#include "Message.h"
#include "SupportDefs.h"

class BHandler {
public:
    virtual ~BHandler() = default;
    virtual void MessageReceived(BMessage* message) { (void)message; }
};
