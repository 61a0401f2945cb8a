#pragma once
// Texts the entry points give the host and the user.
#include <string>
#include <string_view>

inline constexpr wchar_t kPluginDescription[] = L"Directory Opus mpv video/audio viewer plugin";
inline constexpr wchar_t kPluginNotice[] = L"Plays audio and video in the viewer pane with mpv";
inline constexpr wchar_t kAboutCaption[] = L"About Tessoravin";

// "mpv (EXT)": the text after the last dot of the whole path, case kept; "file" without a dot.
std::wstring FileTypeDescription(std::wstring_view path);
// The About box text, ending with the configuration path (possibly empty).
std::wstring AboutText(std::wstring_view configPath);
