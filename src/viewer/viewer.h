#pragma once
// The viewer window the host embeds in its viewer pane, and what it does with the player:
// start it embedded, hand it further files over its pipe, stop it.
#include <windows.h>

#include <string>

#include "host/host_messages.h"
#include "viewer/viewer_state.h"

inline constexpr wchar_t kViewerClassName[] = L"DopusTessoravinViewerClass";

// How long the player's window is searched for after the start: attempts times pause.
inline constexpr int kChildSearchAttempts = 50;
inline constexpr DWORD kChildSearchPauseMs = 100;
// How long KillChild waits for the process to end, with and without a job.
inline constexpr DWORD kKillWaitWithJobMs = 1000;
inline constexpr DWORD kKillWaitWithoutJobMs = 200;
// Upper bound of one pipe exchange (open, write, read): the host's window thread waits on it.
inline constexpr DWORD kPipeExchangeTimeoutMs = 2000;

// Starts the player hidden in a kill-on-close job, finds its window among the viewer's children
// and fits it to the viewer. Expects a state that KillChild has just emptied.
bool LaunchAndEmbed(HWND viewer, ViewerWindowState& state, const wchar_t* playerPath,
                    const wchar_t* filePath);

// Ends the player, if any, closes its handles and empties every field of the state.
void KillChild(ViewerWindowState& state);

// Tells the player listening on pipeName to replace its file; true when it answers "success".
bool SendMPVCommand(const std::wstring& pipeName, const wchar_t* filePath);

// Shows the file: reuses the running player over its pipe when it is the same executable,
// otherwise restarts it behind a "Loading..." placeholder. False when nothing is shown.
bool LoadFile(HWND viewer, ViewerWindowState& state, const wchar_t* filePath);

// The placeholder's font, created on first use and kept for the life of the process.
HFONT PlaceholderFont();

LRESULT CALLBACK ViewerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Registers the viewer window class; true also when it is already registered.
bool RegisterViewerClass(HINSTANCE instance);
