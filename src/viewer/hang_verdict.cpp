#include "viewer/hang_verdict.h"

#include <algorithm>

bool HangVerdict::Take(bool answered, ULONGLONG endedAt) {
    const ULONGLONG round = endedAt > last_ ? std::min(endedAt - last_, kLongestWatchRoundMs) : 0;
    last_ = endedAt;
    if (answered) {
        unanswered_ = 0;
        unansweredMs_ = 0;
        return false;
    }
    ++unanswered_;
    unansweredMs_ += round;
    return unanswered_ >= kHungProbes && unansweredMs_ >= kHungVerdictMs;
}
