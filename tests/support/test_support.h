#pragma once
// Helpers shared by the test programs: a private temporary folder per process (so the log
// of one test never mixes with another's), file access, and window/message-box automation.
#include <windows.h>

#include <chrono>
#include <functional>
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

// Runs action on a helper thread that waits for a dialog with the caption, hands it to
// onDialog (on that helper thread) and returns what it saw. Use for modal boxes.
struct DialogWatch {
    HWND dialog = nullptr;
    std::wstring text;
};
DialogWatch WatchForDialog(const std::wstring& caption, const std::function<void(HWND)>& onDialog,
                           const std::function<void()>& action,
                           std::chrono::milliseconds timeout = std::chrono::milliseconds(10000));

bool ProcessExists(DWORD pid);
// Counts running processes with the executable name that this process started, so tests
// running side by side do not disturb each other's counts.
int CountChildProcesses(const std::wstring& exeName);
// Open kernel handles of this process: GetProcessHandleCount, or, where that reports none (it is
// a stub under Wine 8), the number of handle values GetHandleInformation accepts.
DWORD OpenHandleCount();

std::wstring Utf8ToWide(const std::string& s);
std::string WideToUtf8(const std::wstring& s);

}  // namespace testsupport
