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
    if (!RegisterViewerClass(moduleInstance))
        LogPrintf(L"[DVP_CreateViewer]   RegisterClassExW FAILED, err=%lu", GetLastError());
    return TRUE;  // done even when it failed: a failed registration is not retried
}

}  // namespace

extern "C" {

__declspec(dllexport) BOOL DVP_IdentifyW(ViewerPluginInfo* info) {
    return Firewall<BOOL>(FALSE, [&]() -> BOOL {
        LogWrite(L"[DVP_IdentifyW] DVP_IdentifyW ENTER\r\n");
        if (!info) {
            LogWrite(L"[DVP_IdentifyW] DVP_IdentifyW: lpVPInfo=NULL, return FALSE\r\n");
            return FALSE;
        }
        LoadConfigAtEntry();
        const std::wstring exts = CurrentHandleExts();
        LogPrintf(L"[DVP_IdentifyW]   handleExts=[%s]", exts.c_str());

        info->size = kPluginInfoSize;
        info->flags = kPluginInfoFlags;
        info->version = kPluginInfoVersion;
        info->kind = kPluginInfoKind;
        info->id = kTessoravinGuid;
        CopyToHostBuffer(info->handleExts, info->handleExtsCapacity, exts);
        CopyToHostBuffer(info->name, info->nameCapacity, kPluginName);
        CopyToHostBuffer(info->description, info->descriptionCapacity, kPluginDescription);
        CopyToHostBuffer(info->notice, info->noticeCapacity, kPluginNotice);
        if (info->further && info->furtherCapacity) info->further[0] = L'\0';
        info->smallIcon = LoadPluginIcon(16);
        info->largeIcon = LoadPluginIcon(32);

        LogWrite(L"[DVP_IdentifyW] DVP_IdentifyW return TRUE\r\n");
        return TRUE;
    });
}

__declspec(dllexport) BOOL DVP_IdentifyFileW(HWND, const wchar_t* path, ViewerFileInfo* info, HANDLE) {
    return Firewall<BOOL>(FALSE, [&]() -> BOOL {
        LogPrintf(L"[DVP_IdentifyFileW] DVP_IdentifyFileW ENTER, file=[%s]", path ? path : L"(null)");
        if (!path || !info) {
            LogWrite(L"[DVP_IdentifyFileW] DVP_IdentifyFileW: null arg, FALSE\r\n");
            return FALSE;
        }
        LoadConfigAtEntry();
        const std::wstring viewer = CurrentViewerForFile(path);
        if (viewer.empty()) {
            LogWrite(L"[DVP_IdentifyFileW] DVP_IdentifyFileW: no viewer, FALSE\r\n");
            return FALSE;
        }
        LogPrintf(L"[DVP_IdentifyFileW]   matched viewer=[%s]", viewer.c_str());
        info->size = kFileInfoSize;
        info->flags = kFileInfoFlags;
        info->kind = kFileInfoKind;
        info->bitsPerPixel = kFileInfoBits;
        CopyToHostBuffer(info->typeDescription, info->typeDescriptionCapacity, FileTypeDescription(path));
        LogWrite(L"[DVP_IdentifyFileW] DVP_IdentifyFileW return TRUE\r\n");
        return TRUE;
    });
}

__declspec(dllexport) HWND DVP_CreateViewer(HWND parent, const RECT* rect, DWORD flags) {
    return Firewall<HWND>(nullptr, [&]() -> HWND {
        LogPrintf(L"[DVP_CreateViewer] DVP_CreateViewer ENTER, parent=0x%p, flags=0x%08X", parent, flags);
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
        LogPrintf(L"[DVP_CreateViewer] DVP_CreateViewer created hwnd=0x%p", viewer);
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
        LogWrite(L"[DVP_Configure] DVP_Configure ENTER\r\n");
        LoadConfigAtEntry();
        HWND hwnd = CreateConfigDialog(parent, notifyWnd, notifyData);
        LogPrintf(L"[DVP_Configure] DVP_Configure return hwnd=0x%p", hwnd);
        return hwnd;
    });
}

}  // extern "C"
