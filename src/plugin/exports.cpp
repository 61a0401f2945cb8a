// The functions Directory Opus calls. Each one is a firewall: nothing thrown inside may
// reach the host, which would take the whole file manager down.
#include <windows.h>

#include <string>
#include <string_view>

#include "common/text.h"
#include "config/plugin_config.h"
#include "host/host.h"
#include "log/log.h"
#include "ui/config_dialog.h"
#include "viewer/viewer.h"

namespace {
constexpr wchar_t kIdentifyTag[] = L"[DVP_IdentifyW] ";
constexpr wchar_t kIdentifyFileTag[] = L"[DVP_IdentifyFileW] ";
constexpr wchar_t kCreateViewerTag[] = L"[DVP_CreateViewer] ";
constexpr wchar_t kConfigureTag[] = L"[DVP_Configure] ";

constexpr wchar_t kPluginDescription[] = L"Directory Opus mpv video/audio viewer plugin";
constexpr wchar_t kPluginNotice[] = L"Plays audio and video in the viewer pane with mpv";
constexpr wchar_t kAboutCaption[] = L"About Tessoravin";

// "mpv (EXT)": the text after the last dot of the whole path, case kept; "file" without a dot.
std::wstring FileTypeDescription(std::wstring_view path) {
    const size_t dot = path.rfind(L'.');
    const std::wstring_view ext = dot == path.npos ? std::wstring_view(L"file") : path.substr(dot + 1);
    return L"mpv (" + std::wstring(ext) + L")";
}

// The About box text, ending with the configuration path (empty before any other entry point).
std::wstring AboutText(std::wstring_view configPath) {
    return L"Tessoravin\r\nDirectory Opus mpv 音视频预览插件\r\n\r\n"
           L"通过 mpv --wid 将 mpv 渲染面嵌入预览窗格，支持音视频文件的预览播放。\r\n\r\n"
           L"配置文件: " +
           std::wstring(configPath);
}

template <class Result, class Body>
Result Firewall(Result onError, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        LogWrite(L"[Tessoravin] unexpected failure inside an entry point\r\n");
        return onError;
    }
}

// The viewer class is registered once per process, and tried only once, whether or not it
// worked. The host calls from one thread per lister: a second thread's first viewer waits here
// until the first thread's registration is done, instead of creating a window of a class that
// does not exist yet.
INIT_ONCE viewerClassRegistration = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK RegisterViewerClassOnce(PINIT_ONCE, PVOID, PVOID*) {
    // Not logged: a failed registration shows as the null window of the "created hwnd" line.
    RegisterViewerClass(moduleInstance);
    return TRUE;  // done even when it failed: a failed registration is not retried
}

}  // namespace

extern "C" {

__declspec(dllexport) BOOL DVP_IdentifyW(ViewerPluginInfo* info) {
    return Firewall<BOOL>(FALSE, [&]() -> BOOL {
        LogPrintf(L"%sDVP_IdentifyW ENTER", kIdentifyTag);
        if (!info) {
            LogPrintf(L"%sDVP_IdentifyW: lpVPInfo=NULL, return FALSE", kIdentifyTag);
            return FALSE;
        }
        LoadConfigAtEntry();
        const std::wstring exts = CurrentHandleExts();
        LogPrintf(L"%s  handleExts=[%s]", kIdentifyTag, exts.c_str());

        info->size = kPluginInfoSize;
        info->flags = kPluginInfoFlags;
        info->version = kPluginInfoVersion;
        info->kind = kPluginInfoKind;
        info->id = kTessoravinGuid;
        CopyToHostBuffer(info->handleExts, info->handleExtsCapacity, exts, HostBufferTail::ZeroFilled);
        CopyToHostBuffer(info->name, info->nameCapacity, kPluginName, HostBufferTail::ZeroFilled);
        CopyToHostBuffer(info->description, info->descriptionCapacity, kPluginDescription, HostBufferTail::ZeroFilled);
        CopyToHostBuffer(info->notice, info->noticeCapacity, kPluginNotice, HostBufferTail::ZeroFilled);
        if (info->further && info->furtherCapacity) info->further[0] = L'\0';
        info->smallIcon = LoadPluginIcon(16);
        info->largeIcon = LoadPluginIcon(32);

        LogPrintf(L"%sDVP_IdentifyW return TRUE", kIdentifyTag);
        return TRUE;
    });
}

__declspec(dllexport) BOOL DVP_IdentifyFileW(HWND, const wchar_t* path, ViewerFileInfo* info, HANDLE) {
    return Firewall<BOOL>(FALSE, [&]() -> BOOL {
        LogPrintf(L"%sDVP_IdentifyFileW ENTER, file=[%s]", kIdentifyFileTag, path ? path : L"(null)");
        if (!path || !info) {
            LogPrintf(L"%sDVP_IdentifyFileW: null arg, FALSE", kIdentifyFileTag);
            return FALSE;
        }
        LoadConfigAtEntry();
        const std::wstring viewer = CurrentViewerForFile(path);
        if (viewer.empty()) {
            LogPrintf(L"%sDVP_IdentifyFileW: no viewer, FALSE", kIdentifyFileTag);
            return FALSE;
        }
        LogPrintf(L"%s  matched viewer=[%s]", kIdentifyFileTag, viewer.c_str());
        info->size = kFileInfoSize;
        info->flags = kFileInfoFlags;
        info->kind = kFileInfoKind;
        info->bitsPerPixel = kFileInfoBits;
        CopyToHostBuffer(info->typeDescription, info->typeDescriptionCapacity, FileTypeDescription(path),
                         HostBufferTail::Untouched);
        LogPrintf(L"%sDVP_IdentifyFileW return TRUE", kIdentifyFileTag);
        return TRUE;
    });
}

__declspec(dllexport) HWND DVP_CreateViewer(HWND parent, const RECT* rect, DWORD flags) {
    return Firewall<HWND>(nullptr, [&]() -> HWND {
        LogPrintf(L"%sDVP_CreateViewer ENTER, parent=0x%p, flags=0x%08X", kCreateViewerTag, parent, flags);
        LoadConfigAtEntry();
        InitOnceExecuteOnce(&viewerClassRegistration, RegisterViewerClassOnce, nullptr, nullptr);

        RECT area = {};
        if (rect) {
            area = *rect;
        } else {
            GetClientRect(parent, &area);
        }
        HWND viewer = CreateWindowExW(
            0, kViewerClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP, area.left,
            area.top, area.right - area.left, area.bottom - area.top, parent, nullptr, moduleInstance, nullptr);
        LogPrintf(L"%sDVP_CreateViewer created hwnd=0x%p", kCreateViewerTag, viewer);
        return viewer;
    });
}

__declspec(dllexport) BOOL DVP_About(HWND parent) {
    return Firewall<BOOL>(FALSE, [&]() -> BOOL {
        const std::wstring text = AboutText(CurrentConfigPath());
        MessageBoxW(parent, text.c_str(), kAboutCaption, MB_ICONINFORMATION);
        return FALSE;
    });
}

__declspec(dllexport) HWND DVP_Configure(HWND parent, HWND notifyWnd, DWORD notifyData) {
    return Firewall<HWND>(nullptr, [&]() -> HWND {
        LogPrintf(L"%sDVP_Configure ENTER", kConfigureTag);
        LoadConfigAtEntry();
        HWND hwnd = CreateConfigDialog(parent, notifyWnd, notifyData);
        LogPrintf(L"%sDVP_Configure return hwnd=0x%p", kConfigureTag, hwnd);
        return hwnd;
    });
}

}  // extern "C"
