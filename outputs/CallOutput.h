#pragma once
// One place the calls go to. Post never blocks: each output has its own bounded queue and its
// own thread, so a dead broker or a hung client cannot hold up the call's handling.

#include "outputs/CallEvent.h"
#include "platform/ShowMessage.h"

#include <functional>
#include <string>

// Where outputs write what the user or the administrator should know (standard error unless
// told otherwise). Called from the outputs' own threads.
using OutputLog = std::function<void(const std::string&)>;

// Called first on each output's thread: the thread runs as background work (SCHED_BATCH), so
// waking it never preempts the thread that is handling a call.
void BecomeBackgroundThread();

class CallOutput {
public:
    virtual ~CallOutput() = default;
    virtual void Post(const OutputEvent& event) = 0;
};
