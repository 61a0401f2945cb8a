// When the watchdog gives up on a player: unanswered questions in a row, and the watch's own
// running time they cover, never the wall clock alone.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "viewer/hang_verdict.h"

namespace {

// Probes as the watch makes them: one every 500 ms, an unanswered one taking its full 500 ms.
std::vector<std::pair<bool, ULONGLONG>> Unanswered(ULONGLONG firstEnd, int count, ULONGLONG step = 500) {
    std::vector<std::pair<bool, ULONGLONG>> probes;
    for (int i = 0; i < count; ++i) probes.push_back({false, firstEnd + i * step});
    return probes;
}

TEST(HangVerdict, CountsUnansweredProbesAndTheWatchsRunningTimeTheyCover) {
    constexpr ULONGLONG kHour = 3600000;
    using Probes = std::vector<std::pair<bool, ULONGLONG>>;
    const auto join = [](Probes a, const Probes& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const struct {
        const char* row;
        Probes probes;  // each probe's answer and the tick it ended at; the watch began at 0
        int hungAt;     // the probe whose verdict is the first "hung"; -1 for none
    } rows[] = {
        {"a steady hang: the tenth probe, 5.5 s after the last answer", join({{true, 500}}, Unanswered(1500, 12)), 10},
        {"a hang from the start", Unanswered(1000, 10), 9},
        {"an hour's sleep between two probes counts as one round",
         join({{true, 500}, {false, kHour}}, Unanswered(kHour + 500, 8)), -1},
        {"after the sleep, ten unanswered probes still make a verdict",
         join({{true, 500}, {false, kHour}}, Unanswered(kHour + 500, 9)), 10},
        {"busy for 4.9 s, then an answer, then busy again for as long",
         join(join(Unanswered(1000, 8), {{true, 4900}}), Unanswered(5900, 8)), -1},
        {"ten quick failures cover too little time", Unanswered(100, 12, 100), -1},
        {"slow probes cover 5 s in fewer than ten", Unanswered(1000, 9, 1000), -1},
    };
    for (const auto& r : rows) {
        HangVerdict verdict(0);
        int hungAt = -1;
        for (size_t i = 0; i < r.probes.size() && hungAt < 0; ++i)
            if (verdict.Take(r.probes[i].first, r.probes[i].second)) hungAt = static_cast<int>(i);
        EXPECT_EQ(hungAt, r.hungAt) << r.row;
        if (hungAt >= 0) {
            EXPECT_GE(verdict.UnansweredMs(), kHungVerdictMs) << r.row;
        }
    }
}

}  // namespace
