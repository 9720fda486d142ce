#include "outputs/CallOutput.h"

#include <cstdio>
#include <pthread.h>
#include <sched.h>

void BecomeBackgroundThread() {
    sched_param parameter{};
    parameter.sched_priority = 0;
    // Failing changes nothing but the order in which threads run.
    (void)pthread_setschedparam(pthread_self(), SCHED_BATCH, &parameter);
}
