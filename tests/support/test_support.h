#pragma once
// Helpers shared by the test programs: a private temporary folder per process (so the log
// of one test never mixes with another's), file access, and window/message-box automation.
#include <windows.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace testsupport {

// Points TMP and TEMP at a fresh folder of this process; call before anything logs.
std::wstring UsePrivateTempFolder();
std::wstring PrivateTempFolder();

std::wstring MakeTestFolder(const std::wstring& name);  // under the private temp folder
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);

// The log as text (the BOM stripped) and its raw bytes.
std::wstring ReadLog();
std::string ReadLogBytes();
void DeleteLog();
// Number of log lines (entries) containing the text.
int CountLogLines(const std::wstring& needle);
bool LogContains(const std::wstring& needle);

// Pumps this thread's messages until pred holds or the time runs out; returns pred().
bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
void PumpMessages();

// Finds a top-level dialog window (class "#32770") of this process with the caption.
HWND FindDialog(const std::wstring& caption);
std::wstring WindowText(HWND hwnd);
// The static text of a message box (control 0xFFFF).
std::wstring MessageBoxText(HWND box);

// What a thread's windows are doing: hwndActive is the window on top, hwndFocus has the focus.
GUITHREADINFO GuiInfo(DWORD thread);

// The window's client area as 0x00RRGGBB pixels, row by row from the top: from the screen itself
// (GetDC(NULL)), where another process's child window shows on Windows and under Wine 9 or later,
// or from the window's own surface, which holds only what this process drew.
// The test programs share one display (2048x1536, scripts/wine-env.sh) and run side by side, so
// the cases that read the screen take turns (RESOURCE_LOCK) on a topmost window placed here,
// away from every other test's windows and from dialogs centred on the screen.
inline constexpr POINT kScreenReadingOrigin = {1380, 1100};
std::vector<DWORD> ClientPixels(HWND window, bool fromScreen);
// The share of the pixels within tolerance of the colour in each channel.
double ShareOfColour(const std::vector<DWORD>& pixels, COLORREF colour, int tolerance = 0);
// Why the screen shows no child window of another process here (Wine 8 never puts one on screen),
// or empty where it does.
std::string PictureUnreadable();

// The smallest rectangle of the window's client area, read back as above, that holds every pixel
// of another colour than the given one; empty when there is none.
RECT BoundsNotOfColour(HWND window, COLORREF colour, bool fromScreen = false);

// The one dialog watcher. Runs action on this thread (it may sit in a modal loop); the first
// dialog with the caption that shows up before action returns is handed to handle on a helper
// thread. Returns whether one did. A modal window still open after 15 s (other than the one
// active when this began) is cancelled, so a test that waits on it fails instead of hanging.
bool WithDialog(const std::wstring& caption, const std::function<void()>& action,
                const std::function<void(HWND)>& handle);

// The one screenshot hold, for scripts/*-screenshot*.sh: when TESSORAVIN_SCREENSHOT_READY names a
// file, waits until the window has painted, writes its screen rectangle there as a crop geometry
// ("WxH+X+Y") and keeps pumping while the picture is taken. When TESSORAVIN_SCREENSHOT_BMP names
// one, writes there what the screen shows of the window's client area, as a BMP: where the
// program runs in a root of its own, nothing outside it can reach its display. Without either
// variable it does nothing.
void HoldForScreenshotIfAsked(HWND window);

// Media the real mpv plays, made here so that no media files live in the repository: one second
// of uncompressed picture in AVI (10 frames of 64x48, all of the file name's MediaColour) and one
// second of PCM sound in WAV.
void WriteTestClip(const std::wstring& path);
void WriteTestTone(const std::wstring& path);

bool ProcessExists(DWORD pid);
// Counts running processes with the executable name that this process started, so tests
// running side by side do not disturb each other's counts.
int CountChildProcesses(const std::wstring& exeName);
std::vector<DWORD> ChildProcesses(const std::wstring& exeName);
// The safety net of tests that may block on a player: ends this process's children by that name.
void TerminateChildProcesses(const std::wstring& exeName);
// Open kernel handles of this process: GetProcessHandleCount, or, where that reports none (it is
// a stub under Wine 8), the number of handle values GetHandleInformation accepts.
DWORD OpenHandleCount();
// This process's threads, and its GDI objects: GetGuiResources, or, where that reports none (a
// stub under Wine), the handle values below 0x10000 GetObjectType accepts (Wine takes a GDI
// handle by its low word) other than DCs and regions: Wine caches up to 64 DCs of its own, each
// with its clip region, and adds one as the windows it repaints come and go.
DWORD ThreadCount();
DWORD GdiObjectCount();
// This process's open handles, each with its object's type ("Event", "File", ...).
std::map<HANDLE, std::string> HandleTypes();
// This process's threads by id, each named by where it started ("module+0xoffset"), so that a
// thread left over can be told from the test's own.
std::map<DWORD, std::string> ThreadStarts();

std::wstring Utf8ToWide(const std::string& s);
std::string WideToUtf8(const std::wstring& s);

}  // namespace testsupport
