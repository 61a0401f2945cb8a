#include "plugin/entry_text.h"

std::wstring FileTypeDescription(std::wstring_view path) {
    const size_t dot = path.rfind(L'.');
    const std::wstring_view ext = dot == path.npos ? std::wstring_view(L"file") : path.substr(dot + 1);
    return L"mpv (" + std::wstring(ext) + L")";
}

std::wstring AboutText(std::wstring_view configPath) {
    return L"Tessoravin\r\nDirectory Opus mpv 音视频预览插件\r\n\r\n"
           L"通过 mpv --wid 将 mpv 渲染面嵌入预览窗格，支持音视频文件的预览播放。\r\n\r\n"
           L"配置文件: " +
           std::wstring(configPath);
}
