#pragma once
// The viewer window the host embeds in its viewer pane, and what it does with the player:
// start it embedded, hand it further files over its pipe, stop it.
#include <windows.h>

#include <string>

#include "host/host_messages.h"
#include "viewer/viewer_state.h"

inline constexpr wchar_t kViewerClassName[] = L"DopusTessoravinViewerClass";

// How the player is started: with the system's error boxes off and a UTF-16 environment, and
// suspended, so that it is in its job before it runs its first instruction.
inline constexpr DWORD kPlayerCreationFlags = CREATE_DEFAULT_ERROR_MODE | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED;
// How long the player's window is searched for after the start: attempts times pause.
inline constexpr int kChildSearchAttempts = 50;
inline constexpr DWORD kChildSearchPauseMs = 100;
// How long KillChild waits for the process to end, with and without a job.
inline constexpr DWORD kKillWaitWithJobMs = 1000;
inline constexpr DWORD kKillWaitWithoutJobMs = 200;
// Upper bound of one pipe exchange (open, write, read): the host's window thread waits on it.
inline constexpr DWORD kPipeExchangeTimeoutMs = 2000;
// How long the host's thread waits for the player's window thread to answer before a call that
// has no posted form (enabling the window, passing it the focus).
inline constexpr UINT kPlayerAnswerTimeoutMs = 200;

// Starts the player hidden in a kill-on-close job, finds its window among the viewer's children
// and fits it to the viewer. Expects a state that KillChild has just emptied. False also when the
// viewer was destroyed while the player's window was being embedded.
bool LaunchAndEmbed(HWND viewer, ViewerWindowState& state, const wchar_t* playerPath,
                    const wchar_t* filePath);

// Ends the player, if any, closes its handles and empties every field of the state.
void KillChild(ViewerWindowState& state);

// Tells the running player, over its pipe, to replace its file; true when it answers "success".
// Nothing is sent to a pipe that another process serves, or for a path UTF-8 cannot hold.
bool SendMPVCommand(const ViewerWindowState& player, const wchar_t* filePath);

// Shows the file: reuses the running player over its pipe when it is the same executable,
// otherwise restarts it behind a "Loading..." placeholder. False when nothing is shown.
bool LoadFile(HWND viewer, ViewerWindowState& state, const wchar_t* filePath);

// The placeholder's font, created on first use and kept for the life of the process.
HFONT PlaceholderFont();

LRESULT CALLBACK ViewerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The record of the viewer window's player; null before WM_CREATE and after WM_DESTROY.
ViewerWindowState* ViewerStateOf(HWND viewer);

// Calls into the player's window from the host's thread, none of which waits on the player's
// thread beyond kPlayerAnswerTimeoutMs.
// True when the player's window thread takes a message within kPlayerAnswerTimeoutMs.
bool PlayerAnswers(HWND child);
// Posts the move to (0, 0) with the given size.
void MovePlayerWindow(HWND child, int width, int height);
// Enables the window now if the player answers, else as soon as it does (false then).
bool EnablePlayerWindow(HWND child);
// Gives the player's window the keyboard focus, if the player answers.
void PassFocusToPlayer(HWND child);

// Registers the viewer window class; true also when it is already registered.
bool RegisterViewerClass(HINSTANCE instance);
// Takes the class away with the module that registered it; fails while a viewer window exists.
bool UnregisterViewerClass(HINSTANCE instance);
