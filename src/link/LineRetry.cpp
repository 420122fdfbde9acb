#include "LineRetry.h"

#include <algorithm>

int LineRetry::nextWaitMs() {
    const int wait = waitMs_;
    waitMs_ = std::min(waitMs_ * 2, kLongestMs);
    return wait;
}

void LineRetry::lost(std::int64_t nowMs) {
    if (openedMs_ >= 0 && nowMs - openedMs_ >= kSteadyMs) waitMs_ = kFirstMs;
    openedMs_ = -1;
}
