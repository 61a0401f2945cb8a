#pragma once
// What the viewer's files share among themselves: starting and stopping the player, handing it
// further files over its pipe, and every call into its window. Nothing outside src/viewer needs
// these; tests of the viewer's inner workings include them.
#include <windows.h>

#include "viewer/hang_verdict.h"
#include "viewer/viewer_state.h"

// How the player is started: with the system's error boxes off and a UTF-16 environment;
// suspended, so that it is in its job before it runs its first instruction; and, when the player
// path is a console program (a package manager's shim, mpv.com), with a console of its own that
// has no window: SW_HIDE does not hide the console when a terminal is the default console host,
// and it would flash over the file manager at every start. Windows ignores the flag for GUI
// programs such as mpv.exe. Not DETACHED_PROCESS: a console launcher needs its console.
inline constexpr DWORD kPlayerCreationFlags = CREATE_DEFAULT_ERROR_MODE | CREATE_UNICODE_ENVIRONMENT |
                                              CREATE_SUSPENDED | CREATE_NO_WINDOW;
// The player's job: everything in it dies with the last handle to it, and a player that crashes
// dies at once, instead of hanging as the host's child while Windows Error Reporting keeps it.
inline constexpr DWORD kPlayerJobLimits = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE |
                                          JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
// The search for the player's window after the start: at most kChildSearches looks, each failed
// one followed by a pause of kChildSearchPauseMs, about 5 s in all; a window that appears is
// embedded within about one pause of its creation.
inline constexpr int kChildSearches = 50;
inline constexpr DWORD kChildSearchPauseMs = 100;
// After an embedding, how long and how often the viewer looks for a window the player replaced
// (mpv re-creates its window while it falls back from one video output to the next) or disabled
// again after the plug-in enabled it.
inline constexpr DWORD kFollowPlayerWindowMs = 5000;
inline constexpr UINT kFollowTimerMs = 100;
inline constexpr UINT_PTR kFollowTimerId = 1;
// How long KillChild waits for the process to end, with and without a job.
inline constexpr DWORD kKillWaitWithJobMs = 1000;
inline constexpr DWORD kKillWaitWithoutJobMs = 200;
// How long KillChild waits, after the player itself, for the rest of its job (a launcher's
// child) to end, so that a restart never meets the old player's window or pipe name.
inline constexpr DWORD kJobEmptyWaitMs = 500;
// Upper bound of one pipe exchange (open, write, read): the host's window thread waits on it.
inline constexpr DWORD kPipeExchangeTimeoutMs = 2000;
// How long a worker waits for the player's window thread to answer before it passes the focus, or
// before it notes that the player is slow to take its window.
inline constexpr UINT kPlayerAnswerTimeoutMs = 200;
// Posted to the viewer when its player has gone: the watchdog ended it, or it ended by itself.
// wParam is that player's launch, lParam the WatchOutcome.
inline constexpr UINT kMsgPlayerGone = WM_APP + 1;
// Posted to the viewer by a click on it (WM_MOUSEACTIVATE): it arrives once the click's activation
// of the host's frame is over and that has put the focus where the frame keeps it.
inline constexpr UINT kMsgFocusAfterClick = WM_APP + 2;
// Drawn in place of a player the watchdog ended.
inline constexpr wchar_t kPlayerHungNotice[] = L"The player stopped responding and was closed.";

// Starts the player hidden in a kill-on-close job, finds its window among the viewer's children
// and fits it to the viewer. Expects a state that KillChild has just emptied.
LaunchOutcome LaunchAndEmbed(HWND viewer, ViewerWindowState& state, const wchar_t* playerPath, const wchar_t* filePath);

// Ends the player, if any, closes its handles and empties every field of the state.
void KillChild(ViewerWindowState& state);

// The player has ended when the started process has exited and, for a player path that is a
// launcher, nothing it started is left in the job.
bool PlayerEnded(HANDLE process, HANDLE job);

// Tells the running player, over its pipe, to replace its file; Sent when it answers "success".
// Nothing is sent to a pipe that another process serves, or for a path UTF-8 cannot hold.
// Each call opens a connection of its own and closes it before it returns.
SendOutcome SendMPVCommand(const ViewerWindowState& player, const wchar_t* filePath);

// Shows the file: reuses the running player over its pipe when it is the same executable,
// otherwise restarts it behind a "Loading..." placeholder. Records the outcome in the state,
// unless a message taken meanwhile made the record another load's.
LoadOutcome LoadFile(HWND viewer, ViewerWindowState& state, const wchar_t* filePath);

// Calls into the player's window from the host's thread. None waits on the player's thread:
// shows are posted, and everything else runs on a worker thread.
// Moves the window to (0, 0) with the given size, from a worker; of moves made while one is
// under way, only the latest follows it.
void MovePlayerWindow(HWND child, int width, int height);
// Enables the window from a worker thread; noticeDelay logs when the player does not answer at once.
void EnablePlayerWindow(HWND child, bool noticeDelay = false);
// Gives the player's window the keyboard focus, from a worker thread, if the player answers and
// the focus is still on the viewer or the player by then. A pass asked for while one is under way
// is made again after it: the earlier one may already have looked at the focus.
void PassFocusToPlayer(HWND child);
// True when the window's thread takes a message within the time. Never call it on the host's thread.
bool PlayerAnswers(HWND child, UINT timeoutMs);

// True when the process is the player's own (playerPid, 0 for none) or one in its job (the real
// player behind a launcher). The caller holds the player's process handle open, so its id cannot
// have been reused.
bool IsPlayerProcess(DWORD pid, DWORD playerPid, HANDLE job);
bool IsPlayerProcess(DWORD pid, const ViewerWindowState& state);
// The player's window: a child of class "mpv" of the viewer made by the player's process or a
// process in its job; never a window of another player. Null when there is none (yet).
HWND FindPlayerWindow(HWND viewer, DWORD playerPid, HANDLE job);
HWND FindPlayerWindow(HWND viewer, const ViewerWindowState& state);
// Keeps childHwnd on the player's current window: when the held one is gone or no longer the
// viewer's child, the player's current window is enabled, shown, fitted and held instead.
// Returns the held window, or null when the player has none.
HWND FollowPlayerWindow(HWND viewer, ViewerWindowState& state);
// Enables, shows and fits the window the state holds, none of it waiting on the player.
void EmbedPlayerWindow(HWND viewer, const ViewerWindowState& state, bool noticeDelay);
// Fits the player's window to the viewer's client area, or to the size the host last gave it
// (hostSize), without waiting for the player; nothing when there is no such window.
void ResizeChild(HWND viewer, const ViewerWindowState& state);

// Starts the watchdog over the player the state holds, on a thread of its own; its stop signal
// goes into the state. Nothing waits for the watchdog: a verdict reaches the viewer as
// kMsgPlayerGone, as does the player's own end, which the viewer takes only for the player it
// still holds.
void StartPlayerWatch(HWND viewer, ViewerWindowState& state);
// Ends the watch over the state's player, if any, without waiting for its thread.
void StopPlayerWatch(ViewerWindowState& state);

// Draws the text in place of the player, straight onto the viewer and outside any paint cycle:
// the viewer never paints, so it stays until a player's window covers it. A notice is drawn on a
// cleared client area, and noted in the state, so that the next placeholder clears it too.
void DrawNotice(HWND viewer, ViewerWindowState& state, const wchar_t* text);
