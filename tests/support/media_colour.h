#pragma once
// The one flat colour a test file's picture has, chosen by its name: the clips the real mpv plays
// are made in it, and the stand-in fills its window with it, so that a read of the screen tells
// which file a pane shows. Well apart from each other, from white and from the placeholder's grey.
#include <windows.h>

#include <cstdint>
#include <iterator>
#include <string_view>

inline COLORREF MediaColour(std::wstring_view path) {
    static constexpr COLORREF kColours[] = {RGB(200, 50, 50),  RGB(50, 170, 70),  RGB(60, 80, 210),
                                            RGB(210, 170, 40), RGB(150, 60, 170), RGB(40, 160, 170)};
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring_view::npos) path.remove_prefix(slash + 1);
    std::uint32_t hash = 2166136261u;  // FNV-1a over the name's UTF-16 units
    for (const wchar_t unit : path) hash = (hash ^ static_cast<std::uint32_t>(unit)) * 16777619u;
    return kColours[(hash >> 8) % std::size(kColours)];  // the low bits alone set one.avi and two.avi alike
}
