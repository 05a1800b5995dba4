#include "sim/phone_thread.h"

#include <pthread.h>
#include <sched.h>

namespace dekvanto::sim {

bool KeepPhoneTime() {
    sched_param param{};
    param.sched_priority = sched_get_priority_min(SCHED_RR);
    return param.sched_priority >= 0 &&
           pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0;
}

}  // namespace dekvanto::sim
