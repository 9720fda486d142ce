#pragma once
// Where the listener hands each call. DeliverIncomingCall returns only when the receiver has
// handled the notice: the listener waits, so calls are handled one at a time in arrival order.
// A Qt front end implements it with QMetaObject::invokeMethod(..., Qt::BlockingQueuedConnection)
// and, when it quits, keeps processing events until the listener has stopped.

#include "capi/IncomingCallNotice.h"

class IncomingCallReceiver {
public:
    virtual ~IncomingCallReceiver() = default;
    // The notice is valid only during the call; the receiver copies what it keeps.
    virtual void DeliverIncomingCall(const IncomingCallNotice& notice) = 0;
    // Asked on the listener's thread before the call is answered on the line, so the answer
    // must come at once, never by way of the thread that handles calls: true refuses the call
    // (user busy) instead of ignoring it. The default ignores every call.
    virtual bool RefusesCall(const IncomingCallNotice& notice) {
        (void)notice;
        return false;
    }
};
