#include "test_support.h"

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <thread>

#include "media_colour.h"

namespace testsupport {
namespace {
std::wstring tempFolder;
}

std::wstring UsePrivateTempFolder() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    tempFolder = std::wstring(base) + L"tsv-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                 std::to_wstring(GetTickCount64()) + L"\\";
    CreateDirectoryW(tempFolder.c_str(), nullptr);
    SetEnvironmentVariableW(L"TMP", tempFolder.c_str());
    SetEnvironmentVariableW(L"TEMP", tempFolder.c_str());
    return tempFolder;
}

std::wstring PrivateTempFolder() { return tempFolder; }

std::wstring MakeTestFolder(const std::wstring& name) {
    std::wstring path = tempFolder + name;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string bytes;
    char chunk[65536];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof(chunk), &read, nullptr) && read > 0) bytes.append(chunk, read);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadLogBytes() { return ReadFileBytes(tempFolder + L"Tessoravin.log"); }

std::wstring ReadLog() {
    const std::string bytes = ReadLogBytes();
    std::wstring text(bytes.size() / 2, L'\0');
    if (!text.empty()) memcpy(text.data(), bytes.data(), text.size() * 2);
    if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
    return text;
}

void DeleteLog() { DeleteFileW((tempFolder + L"Tessoravin.log").c_str()); }

int CountLogLines(const std::wstring& needle) {
    const std::wstring log = ReadLog();
    int count = 0;
    for (size_t pos = log.find(needle); pos != std::wstring::npos; pos = log.find(needle, pos + needle.size())) ++count;
    return count;
}

bool LogContains(const std::wstring& needle) { return ReadLog().find(needle) != std::wstring::npos; }

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() >= deadline) return pred();
        PumpMessages();
        Sleep(10);
    }
    return true;
}

namespace {
struct FindDialogData {
    std::wstring caption;
    HWND found = nullptr;
};
BOOL CALLBACK FindDialogProc(HWND hwnd, LPARAM lParam) {
    auto* data = reinterpret_cast<FindDialogData*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != GetCurrentProcessId()) return TRUE;
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (std::wstring(cls) != L"#32770") return TRUE;
    if (WindowText(hwnd) == data->caption && IsWindowVisible(hwnd)) {
        data->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND FindDialog(const std::wstring& caption) {
    FindDialogData data{caption};
    EnumWindows(FindDialogProc, reinterpret_cast<LPARAM>(&data));
    return data.found;
}

std::wstring WindowText(HWND hwnd) {
    const int n = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<size_t>(n > 0 ? n : 0) + 1, L'\0');
    const int got = GetWindowTextW(hwnd, text.data(), n + 1);
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return text;
}

std::wstring MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }

std::vector<DWORD> ClientPixels(HWND window, bool fromScreen) {
    RECT client = {};
    GetClientRect(window, &client);
    POINT origin = {};
    if (fromScreen) ClientToScreen(window, &origin);
    const HWND source = fromScreen ? nullptr : window;
    const HDC from = GetDC(source);
    const HDC copy = CreateCompatibleDC(from);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(copy, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<DWORD> pixels(static_cast<size_t>(client.right) * static_cast<size_t>(client.bottom));
    if (bitmap && bits) {
        const HGDIOBJ previous = SelectObject(copy, bitmap);
        BitBlt(copy, 0, 0, client.right, client.bottom, from, origin.x, origin.y, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        std::copy_n(static_cast<const DWORD*>(bits), pixels.size(), pixels.begin());
        SelectObject(copy, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(copy);
    ReleaseDC(source, from);
    for (DWORD& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

double ShareOfColour(const std::vector<DWORD>& pixels, COLORREF colour, int tolerance) {
    if (pixels.empty()) return 0;
    const auto within = [tolerance](DWORD a, DWORD b) {
        return std::abs(static_cast<int>(a) - static_cast<int>(b)) <= tolerance;
    };
    const size_t matching = static_cast<size_t>(std::count_if(pixels.begin(), pixels.end(), [&](DWORD p) {
        return within((p >> 16) & 0xFF, GetRValue(colour)) && within((p >> 8) & 0xFF, GetGValue(colour)) &&
               within(p & 0xFF, GetBValue(colour));
    }));
    return static_cast<double>(matching) / static_cast<double>(pixels.size());
}

std::string PictureUnreadable() {
    using WineVersion = const char* (*)();
    const auto version = reinterpret_cast<WineVersion>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    if (!version || std::atoi(version()) >= 9) return {};
    return std::string("Wine ") + version() + " puts no child window of another process on screen; Wine 10 does";
}

RECT BoundsNotOfColour(HWND window, COLORREF colour, bool fromScreen) {
    RECT client = {};
    GetClientRect(window, &client);
    const std::vector<DWORD> pixels = ClientPixels(window, fromScreen);
    const DWORD wanted = (DWORD{GetRValue(colour)} << 16) | (DWORD{GetGValue(colour)} << 8) | GetBValue(colour);
    RECT bounds = {client.right, client.bottom, 0, 0};
    for (size_t i = 0; i < pixels.size(); ++i) {
        if (pixels[i] == wanted) continue;
        const auto x = static_cast<LONG>(i % static_cast<size_t>(client.right));
        const auto y = static_cast<LONG>(i / static_cast<size_t>(client.right));
        bounds = {std::min(bounds.left, x), std::min(bounds.top, y), std::max(bounds.right, x + 1),
                  std::max(bounds.bottom, y + 1)};
    }
    return bounds.right > 0 ? bounds : RECT{};
}

GUITHREADINFO GuiInfo(DWORD thread) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    GetGUIThreadInfo(thread, &info);
    return info;
}

bool WithDialog(const std::wstring& caption, const std::function<void()>& action,
                const std::function<void(HWND)>& handle) {
    std::atomic<bool> actionDone{false}, helperDone{false};
    bool seen = false;
    const DWORD thread = GetCurrentThreadId();
    const HWND activeBefore = GuiInfo(thread).hwndActive;
    std::thread helper([&] {
        const auto grace = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        for (; !actionDone; Sleep(10)) {
            if (HWND dialog = seen ? nullptr : FindDialog(caption)) {
                seen = true;
                handle(dialog);
            } else if (HWND top = GuiInfo(thread).hwndActive;
                       top && top != activeBefore && std::chrono::steady_clock::now() > grace) {
                PostMessageW(top, WM_COMMAND, IDCANCEL, 0);
            }
        }
        helperDone = true;
    });
    action();
    actionDone = true;
    // A plain join could deadlock with a helper that sends to this thread's windows (reading a
    // caption does), so the messages it sends are answered meanwhile.
    while (!helperDone) {
        MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_SENDMESSAGE, 0);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    helper.join();
    return seen;
}

namespace {
void WriteBmp(const std::wstring& path, HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    const std::vector<DWORD> pixels = ClientPixels(window, true);
    BITMAPINFOHEADER info = {sizeof(info), client.right, -client.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(info);
    const DWORD size = offset + static_cast<DWORD>(pixels.size() * sizeof(DWORD));
    const BITMAPFILEHEADER file = {0x4D42, size, 0, 0, offset};  // "BM"
    std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
    bytes.append(reinterpret_cast<const char*>(&info), sizeof(info));
    bytes.append(reinterpret_cast<const char*>(pixels.data()), pixels.size() * sizeof(DWORD));
    WriteFileBytes(path, bytes);
}
}  // namespace

void HoldForScreenshotIfAsked(HWND window) {
    wchar_t ready[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"TESSORAVIN_SCREENSHOT_BMP", ready, MAX_PATH)) {
        WaitUntil([] { return false; }, std::chrono::milliseconds(1000));
        WriteBmp(ready, window);
        return;
    }
    if (!GetEnvironmentVariableW(L"TESSORAVIN_SCREENSHOT_READY", ready, MAX_PATH)) return;
    WaitUntil([] { return false; }, std::chrono::milliseconds(1000));
    RECT r = {};
    GetWindowRect(window, &r);
    const std::string geometry = std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                                 std::to_string(r.left) + "+" + std::to_string(r.top);
    // Written aside and renamed, so the script never reads half a line.
    const std::wstring partial = std::wstring(ready) + L".partial";
    WriteFileBytes(partial, geometry);
    MoveFileExW(partial.c_str(), ready, MOVEFILE_REPLACE_EXISTING);
    WaitUntil([] { return false; }, std::chrono::milliseconds(4000));
}

std::vector<DWORD> ChildProcesses(const std::wstring& exeName) {
    std::vector<DWORD> pids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return pids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID == GetCurrentProcessId() && _wcsicmp(entry.szExeFile, exeName.c_str()) == 0 &&
            ProcessExists(entry.th32ProcessID))
            pids.push_back(entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    return pids;
}

int CountChildProcesses(const std::wstring& exeName) { return static_cast<int>(ChildProcesses(exeName).size()); }

void TerminateChildProcesses(const std::wstring& exeName) {
    for (const DWORD pid : ChildProcesses(exeName)) {
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    }
}

namespace {
// Handle values are multiples of four and kept dense; a long run of free values ends the table.
template <typename Visit>
void ForEachHandle(Visit visit) {
    constexpr int kFreeRunEnd = 1024;
    int freeRun = 0;
    for (ULONG_PTR value = 4; freeRun < kFreeRunEnd; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            visit(reinterpret_cast<HANDLE>(value));
            freeRun = 0;
        } else {
            ++freeRun;
        }
    }
}
}  // namespace

DWORD OpenHandleCount() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count > 0) return count;
    ForEachHandle([&](HANDLE) { ++count; });
    return count;
}

std::map<HANDLE, std::string> HandleTypes() {
    // ObjectTypeInformation: a UNICODE_STRING with the type's name, then more the caller ignores.
    using QueryObject = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    std::map<HANDLE, std::string> types;
    ForEachHandle([&](HANDLE handle) {
        alignas(8) unsigned char info[1024] = {};
        struct Name {
            USHORT length, maximum;
            const wchar_t* text;
        };
        const auto* name = reinterpret_cast<const Name*>(info);
        types[handle] = query && query(handle, 2, info, sizeof(info), nullptr) >= 0 && name->text
                            ? WideToUtf8(std::wstring(name->text, name->length / sizeof(wchar_t)))
                            : "?";
    });
    return types;
}

DWORD ThreadCount() {
    DWORD count = 0;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry))
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    CloseHandle(snapshot);
    return count;
}

std::map<DWORD, std::string> ThreadStarts() {
    // ThreadQuerySetWin32StartAddress: the address the thread was created to run.
    using QueryThread = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryThread>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
    std::map<DWORD, std::string> starts;
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return starts;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
        void* start = nullptr;
        if (const HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID)) {
            if (query) query(thread, 9, &start, sizeof(start), nullptr);
            CloseHandle(thread);
        }
        HMODULE module = nullptr;
        wchar_t path[MAX_PATH] = L"?";
        if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               static_cast<const wchar_t*>(start), &module))
            GetModuleFileNameW(module, path, MAX_PATH);
        const std::wstring name = path;
        char offset[32];
        snprintf(
            offset, sizeof(offset), "+0x%llx",
            static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(start) - reinterpret_cast<uintptr_t>(module)));
        starts[entry.th32ThreadID] = WideToUtf8(name.substr(name.find_last_of(L"\\/") + 1)) + offset;
    }
    CloseHandle(snapshot);
    return starts;
}

DWORD GdiObjectCount() {
    if (const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
    DWORD count = 0;
    for (ULONG_PTR value = 1; value < 0x10000; ++value) {
        const DWORD type = GetObjectType(reinterpret_cast<HGDIOBJ>(value));
        count += type != 0 && type != OBJ_DC && type != OBJ_REGION;
    }
    return count;
}

namespace {
void Put32(std::string& out, uint32_t value) { out.append(reinterpret_cast<const char*>(&value), 4); }
void Put16(std::string& out, uint16_t value) { out.append(reinterpret_cast<const char*>(&value), 2); }
std::string Chunk(const char* fourcc, const std::string& body) {
    std::string chunk(fourcc, 4);
    Put32(chunk, static_cast<uint32_t>(body.size()));
    chunk += body;
    if (body.size() % 2) chunk += '\0';
    return chunk;
}
std::string List(const char* type, const std::string& body) { return Chunk("LIST", std::string(type, 4) + body); }
}  // namespace

void WriteTestClip(const std::wstring& path) {
    constexpr uint32_t kWidth = 64, kHeight = 48, kFrames = 10, kFps = 10, kFrameBytes = kWidth * kHeight * 3;
    std::string mainHeader;  // AVIMAINHEADER without its chunk header
    for (const uint32_t v : {1000000 / kFps, 0u, 0u, 0u, kFrames, 0u, 1u, kFrameBytes, kWidth, kHeight, 0u, 0u, 0u, 0u})
        Put32(mainHeader, v);
    std::string streamHeader = "vidsDIB ";  // AVISTREAMHEADER
    for (const uint32_t v : {0u, 0u, 0u, 1u, kFps, 0u, kFrames, kFrameBytes, 0xFFFFFFFFu, 0u}) Put32(streamHeader, v);
    for (const uint32_t v : {0u, 0u, kWidth, kHeight}) Put16(streamHeader, static_cast<uint16_t>(v));
    std::string format;  // BITMAPINFOHEADER: bottom-up BGR, 24 bits
    Put32(format, 40), Put32(format, kWidth), Put32(format, kHeight), Put16(format, 1), Put16(format, 24);
    for (const uint32_t v : {0u, kFrameBytes, 0u, 0u, 0u, 0u}) Put32(format, v);
    const COLORREF colour = MediaColour(path);
    std::string frame;
    for (uint32_t pixel = 0; pixel < kWidth * kHeight; ++pixel)
        frame += {static_cast<char>(GetBValue(colour)), static_cast<char>(GetGValue(colour)),
                  static_cast<char>(GetRValue(colour))};
    std::string frames;
    for (uint32_t i = 0; i < kFrames; ++i) frames += Chunk("00db", frame);
    const std::string headers = List(
        "hdrl", Chunk("avih", mainHeader) + List("strl", Chunk("strh", streamHeader) + Chunk("strf", format)));
    const std::string riff = Chunk("RIFF", "AVI " + headers + List("movi", frames));
    WriteFileBytes(path, riff);
}

void WriteTestTone(const std::wstring& path) {
    constexpr uint32_t kRate = 8000;
    std::string format;  // PCM, mono, 16 bits
    Put16(format, 1), Put16(format, 1), Put32(format, kRate), Put32(format, kRate * 2), Put16(format, 2),
        Put16(format, 16);
    std::string samples;
    for (uint32_t i = 0; i < kRate; ++i) Put16(samples, static_cast<uint16_t>(8000 * std::sin(i * 0.3)));
    WriteFileBytes(path, Chunk("RIFF", "WAVE" + Chunk("fmt ", format) + Chunk("data", samples)));
}

bool ProcessExists(DWORD pid) {
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return false;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

std::wstring Utf8ToWide(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

std::string WideToUtf8(const std::wstring& s) {
    if (s.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace testsupport
