// A stand-in for mpv embedded with --wid: the viewer tests need a real second process that
// owns a child window of the viewer and serves a JSON IPC pipe, without shipping mpv itself.
// It copies only what the plug-in depends on, plus a few misbehaviours chosen through the
// environment so that the plug-in's error paths can be exercised.
//   STANDIN_MODE          (empty)          a window at once, "success" to every loadfile
//                         nowindow         never a window
//                         latewindow       the window after STANDIN_DELAY_MS (default 2000)
//                         errorreply       an error reply to every command
//                         noreply          reads commands, never replies
//                         exitafterwindow  exits 200 ms after making its window
//                         exitatonce       exits with code 0xC0000135 before it has a pipe or a window
//                         freeze           its window thread stops taking messages once the
//                                          window exists; the pipe keeps answering
//                         slowstart        takes no messages for STANDIN_DELAY_MS after making
//                                          its window, then behaves normally
//                         closehost        sends WM_CLOSE to its parent as it starts, before it
//                                          makes its window
//                         answeronce       answers the first message sent to its window, then its
//                                          window thread stops (as a player that stalls between
//                                          the host's check that it answers and the call after it)
//                         hangafter        works, then STANDIN_DELAY_MS after making its window its
//                                          window thread stops taking messages for STANDIN_HANG_MS
//                                          (for ever without it), as a player that hangs after it
//                                          has worked, or pauses once
//                         latehang         its window (visible) after STANDIN_DELAY_MS, as a cold
//                                          start slower than the host's search; then as hangafter,
//                                          500 ms after making it
//                         pokeparent       its window thread sends WM_SETCURSOR to its parent every
//                                          100 ms, as mpv's does at every mouse move over the video
//                         replacewindow    destroys its window STANDIN_DELAY_MS after making it and
//                                          makes another, disabled (as mpv falling back from one
//                                          video output to the next)
//                         redisable        disables its window again STANDIN_DELAY_MS after making
//                                          it (as mpv when its own set-up ends after the host's enable)
//                         nopipe           never creates its pipe (as mpv when the name is taken)
//                         events           STANDIN_EVENT_COUNT event lines before every reply
//                         eventsonly       event lines to every command until the client leaves,
//                                          never a reply
//                         launcher         starts this program again with the same arguments as a
//                                          plain stand-in (in its job) and waits for it, as a
//                                          launcher in front of mpv does
//                                          launcherexits    the same, but exits at once instead of waiting
//   STANDIN_HANG_MS       in hangafter, how long its window thread stops; then it notes "resumed"
//   STANDIN_LAUNCH        in the launcher modes, the program to start instead of this one (the real
//                         mpv), with the same arguments
//   STANDIN_EVENT_COUNT   event lines before a reply in "events" (default 3), each its own write;
//                         three of them are longer than 255 bytes
//   STANDIN_EVENT_PAUSE_MS  pause after each event line (default 2), so that each arrives as its
//                         own piece; mpv itself writes pending events back to back
//   STANDIN_CMDLINE_FILE  where to write its command line (UTF-16, no BOM)
//   STANDIN_PIPE_LOG      where to append every byte read from its pipe
//   STANDIN_NOTES_FILE    where to append "injob=0|1" (IsProcessInJob at entry), in slowstart and
//                         hangafter "resumed=<GetTickCount64>" when it takes messages again (and
//                         in hangafter "paused=<tick>" when it stops), "window=<tick>" when it
//                         has made its window, "focused=<tick>" when its window gets the focus,
//                         "connection=<bytes read>" when a client has closed its connection, and,
//                         built as a console program, "consoleprocesses=<n>" at entry: how many
//                         processes share its console (1: one of its own)
// As mpv does, its first pipe instance is created with FILE_FLAG_FIRST_PIPE_INSTANCE and a DACL for
// its own user only (Wine ignores the flag), and without that instance it plays on without a pipe.
// A line that is not the loadfile command, well-formed, gets an error reply.
#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/exclusive_lock.h"
#include "common/handle.h"
#include "media_colour.h"

namespace {

constexpr UINT kMsgFileChanged = WM_APP + 1;
constexpr UINT_PTR kPokeTimer = 1;
constexpr UINT_PTR kFrameTimer = 2;
constexpr DWORD kPipeBuffer = 4096;

enum class Mode {
    Normal,
    NoWindow,
    LateWindow,
    ErrorReply,
    NoReply,
    ExitAfterWindow,
    ExitAtOnce,
    Freeze,
    SlowStart,
    CloseHost,
    NoPipe,
    Events,
    EventsOnly,
    Launcher,
    LauncherExits,
    AnswerOnce,
    ReplaceWindow,
    Redisable,
    HangAfter,
    LateHang,
    PokeParent
};
constexpr UINT kExitAtOnceCode = 0xC0000135;  // what Windows reports for a missing DLL

constexpr std::string_view kSuccessReply = "{\"data\":null,\"request_id\":0,\"error\":\"success\"}\n";
constexpr std::string_view kErrorReply = "{\"request_id\":0,\"error\":\"invalid parameter\"}\n";

// Lines mpv writes as things happen. The client-message carries "success" in quotes, which only a
// reply may count; strings hold quotes, braces and the word event, which only keys may count.
constexpr std::string_view kEventLines[] = {
    "{\"event\":\"video-reconfig\"}\n",
    "{\"event\":\"property-change\",\"id\":1,\"name\":\"media-title\",\"data\":\"A \\\"title\\\" with "
    "{\\\"event\\\":1} and [brackets], long enough that three events pass what one read took\"}\n",
    "{\"event\":\"client-message\",\"args\":[\"success\",\"\\\"success\\\"\",\"{\\\"error\\\":\\\"success\\\"}\"]}\n",
};
static_assert(kEventLines[0].size() + kEventLines[1].size() + kEventLines[2].size() > 255);

struct Player {
    HWND parent = nullptr;
    std::wstring pipeName;
    Mode mode = Mode::Normal;
    UINT delayMs = 2000;
    UINT hangMs = INFINITE;
    UINT eventCount = 3;
    UINT eventPauseMs = 2;
    std::wstring pipeLog;
    UniqueFile firstInstance;           // created before the window, handed to the server thread
    std::atomic<HWND> window{nullptr};  // null until (and unless) the window exists
    bool replacing = false;             // its own window is being destroyed to make another
    SRWLOCK fileLock = SRWLOCK_INIT;
    std::wstring file;               // guarded by fileLock
    SRWLOCK logLock = SRWLOCK_INIT;  // one writer at a time keeps chunks whole in the log
};

std::wstring GetEnv(const wchar_t* name) {
    wchar_t stack[512];
    DWORD n = GetEnvironmentVariableW(name, stack, ARRAYSIZE(stack));
    if (n == 0) return {};
    if (n < ARRAYSIZE(stack)) return std::wstring(stack, n);
    std::wstring big(n, L'\0');
    n = GetEnvironmentVariableW(name, big.data(), n);
    big.resize(n < big.size() ? n : 0);
    return big;
}

bool ParseU64(std::wstring_view text, std::uint64_t& out) {
    if (text.empty()) return false;
    std::uint64_t value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - L'0');
        if (value > (UINT64_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    out = value;
    return true;
}

// One "key=value" line, appended whole, so a test can poll for it.
void AppendNote(const std::string& line) {
    const std::wstring target = GetEnv(L"STANDIN_NOTES_FILE");
    if (target.empty()) return;
    UniqueFile f(CreateFileW(target.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    const std::string text = line + "\n";
    DWORD written = 0;
    if (f) WriteFile(f.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// Written through a temporary name so that a test polling for the file never reads half of it.
void RecordCommandLine() {
    const std::wstring target = GetEnv(L"STANDIN_CMDLINE_FILE");
    if (target.empty()) return;
    const wchar_t* line = GetCommandLineW();
    const std::wstring temp = target + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    {
        UniqueFile f(
            CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!f) return;
        const DWORD bytes = static_cast<DWORD>(lstrlenW(line)) * static_cast<DWORD>(sizeof(wchar_t));
        DWORD written = 0;
        if (!WriteFile(f.Get(), line, bytes, &written, nullptr) || written != bytes) {
            f.Close();
            DeleteFileW(temp.c_str());
            return;
        }
    }
    if (!MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) DeleteFileW(temp.c_str());
}

void AppendToLog(Player& player, const char* data, DWORD size) {
    if (player.pipeLog.empty()) return;
    ExclusiveLock guard(player.logLock);
    UniqueFile f(CreateFileW(player.pipeLog.c_str(), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (f) WriteFile(f.Get(), data, size, &written, nullptr);
}

bool WriteAll(HANDLE pipe, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool ReadHex4(std::string_view s, size_t at, std::uint32_t& out) {
    if (at + 4 > s.size()) return false;
    out = 0;
    for (size_t i = at; i < at + 4; ++i) {
        const char c = s[i];
        const int v = (c >= '0' && c <= '9')   ? c - '0'
                      : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                      : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                               : -1;
        if (v < 0) return false;
        out = out * 16 + static_cast<std::uint32_t>(v);
    }
    return true;
}

// Recognises only the one loadfile shape the plug-in sends; anything else is "not a loadfile".
bool ParseLoadfile(std::string_view line, std::wstring& path) {
    constexpr std::string_view prefix = R"({"command":["loadfile",")";
    if (line.substr(0, prefix.size()) != prefix) return false;
    std::string utf8;
    size_t i = prefix.size();
    for (;; ++i) {
        if (i >= line.size()) return false;
        const char c = line[i];
        if (c == '"') break;
        if (static_cast<unsigned char>(c) < 0x20) return false;  // JSON has no raw control bytes in strings
        if (c != '\\') {
            utf8 += c;
            continue;
        }
        if (++i >= line.size()) return false;
        switch (line[i]) {
            case 'n': utf8 += '\n'; break;
            case 't': utf8 += '\t'; break;
            case 'r': utf8 += '\r'; break;
            case 'b': utf8 += '\b'; break;
            case 'f': utf8 += '\f'; break;
            case 'u': {
                std::uint32_t cp = 0, low = 0;
                if (!ReadHex4(line, i + 1, cp)) return false;
                i += 4;
                if (cp >= 0xD800 && cp < 0xDC00 && line.substr(i + 1, 2) == "\\u" && ReadHex4(line, i + 3, low) &&
                    low >= 0xDC00 && low < 0xE000) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    i += 6;
                }
                AppendUtf8(utf8, cp);
                break;
            }
            case '\\':
            case '"':
            case '/': utf8 += line[i]; break;
            default: return false;
        }
    }
    if (line.substr(i + 1) != R"(,"replace"]})") return false;
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    path.assign(static_cast<size_t>(n), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), path.data(), n);
    return true;
}

void ChangeFile(Player& player, const std::wstring& path) {
    {
        ExclusiveLock guard(player.fileLock);
        player.file = path;
    }
    // The title is set before the reply goes out, so a test that reads it after the reply sees it;
    // a window thread that is not taking messages gets it later and holds up no reply, as in mpv.
    if (HWND w = player.window.load()) {
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(w, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_NORMAL, 200, &ignored);
        PostMessageW(w, kMsgFileChanged, 0, 0);
    }
}

bool WriteEvent(const Player& player, HANDLE pipe, size_t index) {
    const bool written = WriteAll(pipe, kEventLines[index % std::size(kEventLines)]);
    if (player.eventPauseMs) Sleep(player.eventPauseMs);
    return written;
}

// Returns false once the client can no longer be written to.
bool HandleLine(Player& player, HANDLE pipe, std::string_view line) {
    if (player.mode == Mode::NoReply) return true;
    if (player.mode == Mode::EventsOnly) {
        for (size_t i = 0;; ++i)
            if (!WriteEvent(player, pipe, i)) return false;
    }
    if (player.mode == Mode::Events) {
        for (size_t i = 0; i < player.eventCount; ++i)
            if (!WriteEvent(player, pipe, i)) return false;
    }
    std::wstring path;
    if (player.mode == Mode::ErrorReply || !ParseLoadfile(line, path)) return WriteAll(pipe, kErrorReply);
    ChangeFile(player, path);
    return WriteAll(pipe, kSuccessReply);
}

struct Client {
    Player* player;
    UniqueFile pipe;
};

DWORD WINAPI ClientThread(void* param) {
    std::unique_ptr<Client> client(static_cast<Client*>(param));
    try {
        std::string pending;
        char buffer[kPipeBuffer];
        DWORD got = 0, carried = 0;
        bool writable = true;
        while (ReadFile(client->pipe.Get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
            carried += got;
            AppendToLog(*client->player, buffer, got);
            pending.append(buffer, got);
            size_t end = 0;
            while (writable && (end = pending.find('\n')) != std::string::npos) {
                writable = HandleLine(*client->player, client->pipe.Get(), std::string_view(pending).substr(0, end));
                pending.erase(0, end + 1);
            }
        }
        AppendNote("connection=" + std::to_string(carried));
    } catch (...) {
        // Out of memory in one client must not take the process down; the client is dropped.
    }
    DisconnectNamedPipe(client->pipe.Get());
    return 0;
}

// A security descriptor whose DACL lets only this process's user in.
class OwnerOnlySecurity {
public:
    OwnerOnlySecurity() {
        UniqueHandle token;
        HANDLE raw = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return;
        token.Reset(raw);
        DWORD size = 0;
        GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
        user_.resize(size);
        if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, user_.data(), size, &size)) return;
        const PSID sid = reinterpret_cast<TOKEN_USER*>(user_.data())->User.Sid;
        const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid);
        acl_.resize(aclSize);
        auto* acl = reinterpret_cast<ACL*>(acl_.data());
        ok_ = InitializeAcl(acl, aclSize, ACL_REVISION) && AddAccessAllowedAce(acl, ACL_REVISION, GENERIC_ALL, sid) &&
              InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
              SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE);
        attributes_ = {sizeof(attributes_), &descriptor_, FALSE};
    }
    OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
    OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;
    SECURITY_ATTRIBUTES* Attributes() { return ok_ ? &attributes_ : nullptr; }

private:
    std::vector<BYTE> user_, acl_;
    SECURITY_DESCRIPTOR descriptor_ = {};
    SECURITY_ATTRIBUTES attributes_ = {};
    bool ok_ = false;
};

UniqueFile CreateInstance(const std::wstring& name, DWORD firstFlag = 0, SECURITY_ATTRIBUTES* security = nullptr) {
    return UniqueFile(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX | firstFlag,
                                       PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, PIPE_UNLIMITED_INSTANCES,
                                       kPipeBuffer, kPipeBuffer, 0, security));
}

// The first instance claims the name as mpv does: it fails when someone already serves it (on
// Windows; Wine creates it anyway) and admits only this user. Later instances follow it.
UniqueFile CreateFirstInstance(const std::wstring& name) {
    OwnerOnlySecurity ownerOnly;
    if (!ownerOnly.Attributes()) return UniqueFile();
    return CreateInstance(name, FILE_FLAG_FIRST_PIPE_INSTANCE, ownerOnly.Attributes());
}

// Creates the next instance before serving the connected one, so a client never finds the name gone.
DWORD WINAPI ServerThread(void* param) {
    Player& player = *static_cast<Player*>(param);
    UniqueFile listening = std::move(player.firstInstance);
    for (;;) {
        if (!listening) {
            Sleep(20);
            listening = CreateInstance(player.pipeName);
            continue;
        }
        const bool connected = ConnectNamedPipe(listening.Get(), nullptr) || GetLastError() == ERROR_PIPE_CONNECTED;
        if (!connected) {
            // ERROR_NO_DATA: the client came and went before we saw it; the instance is reusable.
            if (GetLastError() != ERROR_NO_DATA) Sleep(10);
            DisconnectNamedPipe(listening.Get());
            continue;
        }
        UniqueFile served = std::exchange(listening, CreateInstance(player.pipeName));
        auto* client = new (std::nothrow) Client{&player, std::move(served)};
        if (!client) continue;
        UniqueHandle thread(CreateThread(nullptr, 0, ClientThread, client, 0, nullptr));
        if (!thread) delete client;
    }
}

// One flat colour, its file's: a test reading the screen tells which file the window shows.
void Paint(HWND hwnd, Player& player) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT rc;
    GetClientRect(hwnd, &rc);
    COLORREF colour;
    {
        ExclusiveLock guard(player.fileLock);
        colour = MediaColour(player.file);
    }
    HBRUSH fill = CreateSolidBrush(colour);
    FillRect(dc, &rc, fill);
    DeleteObject(fill);
    EndPaint(hwnd, &ps);
}

// A window thread that takes no messages cannot run the message loop's parent watch.
DWORD WINAPI WatchParent(void* param) {
    while (IsWindow(static_cast<HWND>(param))) Sleep(200);
    ExitProcess(0);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
    }
    auto* player = reinterpret_cast<Player*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!player) return DefWindowProcW(hwnd, msg, wp, lp);
    try {
        switch (msg) {
            case WM_ERASEBKGND: return 1;
            case WM_PAINT: Paint(hwnd, *player); return 0;
            case WM_SIZE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
            case WM_SETFOCUS: AppendNote("focused=" + std::to_string(GetTickCount64())); break;
            case WM_TIMER:
                if (wp == kFrameTimer) {
                    InvalidateRect(hwnd, nullptr, FALSE);
                    return 0;
                }
                if (wp != kPokeTimer) break;
                // As DefWindowProc does with a mouse move: the parent answers first, on its own thread.
                SendMessageW(player->parent, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                             MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
                return 0;
            case kMsgFileChanged: {
                std::wstring copy;
                {
                    ExclusiveLock guard(player->fileLock);
                    copy = player->file;
                }
                SetWindowTextW(hwnd, copy.c_str());
                InvalidateRect(hwnd, nullptr, FALSE);
                return 0;
            }
            case WM_NULL:
                if (player->mode == Mode::AnswerOnce) {
                    ReplyMessage(0);
                    UniqueHandle watch(CreateThread(nullptr, 0, WatchParent, player->parent, 0, nullptr));
                    Sleep(INFINITE);
                }
                break;
            case WM_DESTROY:
                // Otherwise only happens when the parent goes away.
                if (!player->replacing) PostQuitMessage(0);
                return 0;
            default: break;
        }
    } catch (...) {
        // Allocation failure while painting: skip this frame rather than unwind into user32.
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

bool CreatePlayerWindow(Player& player, HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"mpv";
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    RECT rc{};
    GetClientRect(player.parent, &rc);
    std::wstring title;
    {
        ExclusiveLock guard(player.fileLock);
        title = player.file;
    }
    HWND hwnd = CreateWindowExW(WS_EX_NOPARENTNOTIFY, L"mpv", title.c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0,
                                0, rc.right - rc.left, rc.bottom - rc.top, player.parent, nullptr, instance, &player);
    if (!hwnd) return false;
    EnableWindow(hwnd, FALSE);
    if (player.mode == Mode::PokeParent) SetTimer(hwnd, kPokeTimer, 100, nullptr);
    // It paints again every 100 ms, as a player presents frames: Wine 10 puts the host's own window
    // surface, when it flushes it, over a child of another process that paints with GDI, until
    // that child paints again (mpv's Direct3D and OpenGL output stay on top).
    SetTimer(hwnd, kFrameTimer, 100, nullptr);
    player.window.store(hwnd);
    AppendNote("window=" + std::to_string(GetTickCount64()));
    // A loadfile that raced with creation may have missed the window: re-read the file once.
    PostMessageW(hwnd, kMsgFileChanged, 0, 0);
    return true;
}

bool ParseMode(const std::wstring& text, Mode& mode) {
    if (text.empty()) mode = Mode::Normal;
    else if (text == L"nowindow") mode = Mode::NoWindow;
    else if (text == L"latewindow") mode = Mode::LateWindow;
    else if (text == L"errorreply") mode = Mode::ErrorReply;
    else if (text == L"noreply") mode = Mode::NoReply;
    else if (text == L"exitafterwindow") mode = Mode::ExitAfterWindow;
    else if (text == L"exitatonce") mode = Mode::ExitAtOnce;
    else if (text == L"freeze") mode = Mode::Freeze;
    else if (text == L"slowstart") mode = Mode::SlowStart;
    else if (text == L"closehost") mode = Mode::CloseHost;
    else if (text == L"nopipe") mode = Mode::NoPipe;
    else if (text == L"events") mode = Mode::Events;
    else if (text == L"eventsonly") mode = Mode::EventsOnly;
    else if (text == L"launcher") mode = Mode::Launcher;
    else if (text == L"launcherexits") mode = Mode::LauncherExits;
    else if (text == L"answeronce") mode = Mode::AnswerOnce;
    else if (text == L"replacewindow") mode = Mode::ReplaceWindow;
    else if (text == L"redisable") mode = Mode::Redisable;
    else if (text == L"hangafter") mode = Mode::HangAfter;
    else if (text == L"latehang") mode = Mode::LateHang;
    else if (text == L"pokeparent") mode = Mode::PokeParent;
    else return false;
    return true;
}

// An optional number up to the limit from the environment; false when it is there but is not one.
bool ParseNumber(const wchar_t* name, std::uint64_t limit, UINT& out) {
    const std::wstring text = GetEnv(name);
    std::uint64_t n = 0;
    if (text.empty()) return true;
    if (!ParseU64(text, n) || n > limit) return false;
    out = static_cast<UINT>(n);
    return true;
}

// Fills everything but the pipe; false means exit code 2.
bool ParseArguments(Player& player) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return false;
    bool ok = true, haveWid = false;
    std::uint64_t wid = 0;
    for (int i = 1; i < argc && ok; ++i) {
        const std::wstring_view arg = argv[i];
        if (arg == L"--help" || arg == L"-h") ok = false;
        else if (arg.starts_with(L"--wid=")) ok = haveWid = ParseU64(arg.substr(6), wid);
        else if (arg.starts_with(L"--input-ipc-server=")) player.pipeName = arg.substr(19);
        else if (!arg.starts_with(L"--")) player.file = arg;
    }
    LocalFree(argv);
    if (!ok || !haveWid || player.pipeName.empty() || player.file.empty()) return false;
    player.parent = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(wid));

    if (!ParseMode(GetEnv(L"STANDIN_MODE"), player.mode)) return false;
    if (!ParseNumber(L"STANDIN_DELAY_MS", 0x7FFFFFFF, player.delayMs) ||
        !ParseNumber(L"STANDIN_HANG_MS", 0x7FFFFFFF, player.hangMs) ||
        !ParseNumber(L"STANDIN_EVENT_COUNT", 1000, player.eventCount) ||
        !ParseNumber(L"STANDIN_EVENT_PAUSE_MS", 1000, player.eventPauseMs))
        return false;
    player.pipeLog = GetEnv(L"STANDIN_PIPE_LOG");
    return true;
}

// The real player started behind a launcher: same program and arguments, plain stand-in, and as
// a child it is in the launcher's job.
int RunLauncher(bool waitForPlayer) {
    wchar_t self[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 4;
    SetEnvironmentVariableW(L"STANDIN_MODE", nullptr);
    std::wstring commandLine = GetCommandLineW();
    if (const std::wstring other = GetEnv(L"STANDIN_LAUNCH"); !other.empty() && other.size() < MAX_PATH) {
        other.copy(self, other.size());
        self[other.size()] = L'\0';
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started))
        return 4;
    const UniqueHandle process(started.hProcess), thread(started.hThread);
    if (!waitForPlayer) return 0;
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 4;
    GetExitCodeProcess(process.Get(), &code);
    return static_cast<int>(code);
}

int Run(HINSTANCE instance) {
    BOOL inJob = FALSE;  // first: the host must have put the process in its job before it runs
    IsProcessInJob(GetCurrentProcess(), nullptr, &inJob);
    AppendNote(inJob ? "injob=1" : "injob=0");
#ifdef STANDIN_CONSOLE
    DWORD consoleProcesses[8] = {};
    AppendNote("consoleprocesses=" + std::to_string(GetConsoleProcessList(consoleProcesses, 8)));
#endif
    RecordCommandLine();
    static Player player;  // outlives every thread: the process only ever ends through ExitProcess
    if (!ParseArguments(player)) return 2;
    if (player.mode == Mode::ExitAtOnce) ExitProcess(kExitAtOnceCode);
    if (!IsWindow(player.parent)) return 3;
    if (player.mode == Mode::Launcher || player.mode == Mode::LauncherExits)
        return RunLauncher(player.mode == Mode::Launcher);

    // Like mpv, a name someone else already serves leaves the player without its pipe, not without
    // its picture.
    UniqueHandle server;
    if (player.mode != Mode::NoPipe) player.firstInstance = CreateFirstInstance(player.pipeName);
    if (player.firstInstance) {
        server.Reset(CreateThread(nullptr, 0, ServerThread, &player, 0, nullptr));
        if (!server) return 4;
    }

    // Thread timers work with or without a window, so the parent watch is the same in every mode.
    const UINT_PTR watchTimer = SetTimer(nullptr, 0, 500, nullptr);
    UINT_PTR lateTimer = 0, exitTimer = 0, changeTimer = 0;
    if (player.mode == Mode::CloseHost) SendMessageW(player.parent, WM_CLOSE, 0, 0);
    if (player.mode == Mode::ReplaceWindow || player.mode == Mode::Redisable || player.mode == Mode::HangAfter)
        changeTimer = SetTimer(nullptr, 0, player.delayMs, nullptr);
    if (player.mode == Mode::LateWindow || player.mode == Mode::LateHang) {
        lateTimer = SetTimer(nullptr, 0, player.delayMs, nullptr);
    } else if (player.mode != Mode::NoWindow) {
        if (!CreatePlayerWindow(player, instance)) ExitProcess(4);
        if (player.mode == Mode::ExitAfterWindow) exitTimer = SetTimer(nullptr, 0, 200, nullptr);
    }
    if (player.mode == Mode::Freeze) {
        UniqueHandle watch(CreateThread(nullptr, 0, WatchParent, player.parent, 0, nullptr));
        Sleep(INFINITE);
    }
    if (player.mode == Mode::SlowStart) {
        Sleep(player.delayMs);
        AppendNote("resumed=" + std::to_string(GetTickCount64()));
    }

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd == nullptr && msg.message == WM_TIMER) {
            if (msg.wParam == watchTimer && !IsWindow(player.parent)) ExitProcess(0);
            if (exitTimer != 0 && msg.wParam == exitTimer) ExitProcess(0);
            if (changeTimer != 0 && msg.wParam == changeTimer) {
                KillTimer(nullptr, changeTimer);
                changeTimer = 0;
                if (player.mode == Mode::HangAfter || player.mode == Mode::LateHang) {
                    AppendNote("paused=" + std::to_string(GetTickCount64()));
                    if (player.hangMs == INFINITE) {
                        UniqueHandle watch(CreateThread(nullptr, 0, WatchParent, player.parent, 0, nullptr));
                        Sleep(INFINITE);
                    }
                    Sleep(player.hangMs);
                    AppendNote("resumed=" + std::to_string(GetTickCount64()));
                    continue;
                }
                const HWND old = player.window.exchange(nullptr);
                if (player.mode == Mode::Redisable) {
                    EnableWindow(old, FALSE);
                    player.window.store(old);
                    continue;
                }
                player.replacing = true;
                DestroyWindow(old);
                player.replacing = false;
                if (!CreatePlayerWindow(player, instance)) ExitProcess(4);
            }
            if (lateTimer != 0 && msg.wParam == lateTimer) {
                KillTimer(nullptr, lateTimer);
                lateTimer = 0;
                if (!CreatePlayerWindow(player, instance)) ExitProcess(4);
                if (player.mode == Mode::LateHang) changeTimer = SetTimer(nullptr, 0, 500, nullptr);
            }
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    ExitProcess(0);
}

}  // namespace

// ExitProcess rather than return: the pipe threads may still be using the static Player.
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int code = 4;
    try {
        code = Run(instance);
    } catch (...) {
        // Only allocation can throw here; report it as a setup failure.
    }
    ExitProcess(static_cast<UINT>(code));
}

#ifdef STANDIN_CONSOLE
int wmain() { return wWinMain(GetModuleHandleW(nullptr), nullptr, GetCommandLineW(), SW_SHOWDEFAULT); }
#endif
