#pragma once
// Loads the real Tessoravin.dll the way Directory Opus does: LoadLibraryW, then the exports
// by name through GetProcAddress. Tests call the plug-in only through these pointers.
#include <windows.h>

#include <cstdint>
#include <string>

#include "test_support.h"

using DVP_IdentifyW_t = BOOL (*)(void* info);
using DVP_IdentifyFileW_t = BOOL (*)(HWND, const wchar_t* path, void* info, HANDLE);
using DVP_CreateViewer_t = HWND (*)(HWND parent, const RECT* rect, uint32_t flags);
using DVP_About_t = BOOL (*)(HWND parent);
using DVP_Configure_t = HWND (*)(HWND parent, HWND notify, uint32_t notifyData);

struct PluginDll {
    HMODULE module = nullptr;
    DVP_IdentifyW_t IdentifyW = nullptr;
    DVP_IdentifyFileW_t IdentifyFileW = nullptr;
    DVP_CreateViewer_t CreateViewer = nullptr;
    DVP_About_t About = nullptr;
    DVP_Configure_t Configure = nullptr;

    // The DLL sits in the Viewers folder beside this dopus.exe, where Directory Opus keeps its viewer
    // plug-ins (scripts/ui-screenshots.sh puts it there), or beside it.
    static PluginDll Load() {
        PluginDll dll;
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring viewers(self);
        viewers = viewers.substr(0, viewers.find_last_of(L'\\') + 1) + L"Viewers\\Tessoravin.dll";
        dll.module = LoadLibraryW(viewers.c_str());
        if (!dll.module) dll.module = LoadLibraryW(L"Tessoravin.dll");
        if (!dll.module) return dll;
        dll.IdentifyW = Get<DVP_IdentifyW_t>(dll.module, "DVP_IdentifyW");
        dll.IdentifyFileW = Get<DVP_IdentifyFileW_t>(dll.module, "DVP_IdentifyFileW");
        dll.CreateViewer = Get<DVP_CreateViewer_t>(dll.module, "DVP_CreateViewer");
        dll.About = Get<DVP_About_t>(dll.module, "DVP_About");
        dll.Configure = Get<DVP_Configure_t>(dll.module, "DVP_Configure");
        return dll;
    }

private:
    template <class Fn>
    static Fn Get(HMODULE module, const char* name) {
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
};

// A top-level window standing in for the host's viewer pane (any thread may make one). It has no
// border or caption: Wine 10 draws a Direct3D or OpenGL child of another process shifted by its
// top level's frame. A case that reads the screen asks for it on top, where no other test's window
// is (kScreenReadingOrigin).
inline HWND CreatePane(int width, int height, bool readsTheScreen = false) {
    static const ATOM paneClass = [] {
        WNDCLASSW cls = {};
        cls.lpfnWndProc = DefWindowProcW;
        cls.hInstance = GetModuleHandleW(nullptr);
        cls.lpszClassName = L"FakeOpusPane";
        return RegisterClassW(&cls);
    }();
    (void)paneClass;
    const POINT at = readsTheScreen ? testsupport::kScreenReadingOrigin : POINT{20, 20};
    return CreateWindowExW(readsTheScreen ? WS_EX_TOPMOST : 0, L"FakeOpusPane", L"Directory Opus",
                           WS_POPUP | WS_VISIBLE, at.x, at.y, width, height, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}
