#pragma once
// When the watchdog gives up on a player, judged from its probes alone. No clock is read here:
// the watch hands in each probe's answer and the tick it ended at, so the rule can be held to any
// sequence of answers and times.
#include <windows.h>

// The watchdog asks the player's window a harmless question every kWatchIntervalMs, from the start
// of one question to the start of the next, and waits kWatchProbeTimeoutMs for the answer.
inline constexpr DWORD kWatchIntervalMs = 500;
inline constexpr UINT kWatchProbeTimeoutMs = 500;
// A player is hung once kHungProbes questions in a row went unanswered, covering kHungVerdictMs of
// the watch's own running time. Both count: the wall clock alone runs on through sleep,
// hibernation and a paused virtual machine, and the first question after a resume, when mpv's
// window thread sets up the display and GPU again, must not look like seconds of silence.
inline constexpr unsigned kHungProbes = 10;
inline constexpr ULONGLONG kHungVerdictMs = 5000;
// The most that one round of the watch (its pause and one question) takes while the machine runs;
// more between two probes is time the machine was not running, and counts as this much.
inline constexpr ULONGLONG kLongestWatchRoundMs = kWatchIntervalMs + kWatchProbeTimeoutMs;

class HangVerdict {
public:
    // start: the tick the watch began at, which the first probe's round counts from.
    explicit HangVerdict(ULONGLONG start) : last_(start) {}
    // Takes the next probe: whether the player answered, and the tick it ended at. True once the
    // player counts as hung.
    bool Take(bool answered, ULONGLONG endedAt);
    // How much of the watch's running time the unanswered probes in a row cover.
    ULONGLONG UnansweredMs() const { return unansweredMs_; }

private:
    ULONGLONG last_;
    unsigned unanswered_ = 0;
    ULONGLONG unansweredMs_ = 0;
};
