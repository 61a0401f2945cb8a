#include "ui/dialog_rules.h"

#include <algorithm>

#include "common/text.h"
#include "config/plugin_config.h"

namespace {
constexpr UINT kMoveOnly = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
constexpr UINT kMoveAndSize = SWP_NOZORDER | SWP_NOACTIVATE;

bool IsTabOrLineBreak(wchar_t c) { return c == L'\t' || c == L'\n' || c == L'\r'; }
bool HasTabOrLineBreak(std::wstring_view text) { return std::any_of(text.begin(), text.end(), IsTabOrLineBreak); }
// The load trims every field and drops a mapping with an empty one, so a field of blanks alone
// would be accepted here and lost at the next load.
bool EmptyOnceTrimmed(std::wstring_view text) { return Trim(text).empty(); }
}  // namespace

GrowthDelta GrowthBeyondInitial(int width, int height, int initWidth, int initHeight) {
    return {std::max(width, initWidth) - initWidth, std::max(height, initHeight) - initHeight};
}

std::array<ControlMove, kLayoutControlCount> ComputeConfigLayout(const RECT (&initialRects)[kLayoutControlCount],
                                                                 GrowthDelta growth) {
    std::array<ControlMove, kLayoutControlCount> moves{};
    for (size_t i = 0; i < kLayoutControlCount; ++i) {
        const RECT& r = initialRects[i];
        const LayoutAnchor& a = kLayoutControls[i].anchor;
        const bool sized = a.widen || a.heighten;
        moves[i] = ControlMove{
            r.left + (a.moveRight ? growth.dx : 0),
            r.top + (a.moveDown ? growth.dy : 0),
            r.right - r.left + (a.widen ? growth.dx : 0),
            r.bottom - r.top + (a.heighten ? growth.dy : 0),
            sized ? kMoveAndSize : kMoveOnly,
        };
    }
    return moves;
}

bool UsableAsInitialFile(std::wstring_view path) {
    return path.empty() || path[0] == L'\\' || (path.size() >= 2 && path[1] == L':');
}

MappingFieldsCheck CheckMappingFields(std::wstring_view group, std::wstring_view exts, std::wstring_view exePath) {
    if (EmptyOnceTrimmed(group) || EmptyOnceTrimmed(exts) || EmptyOnceTrimmed(exePath))
        return MappingFieldsCheck::EmptyField;
    if (HasTabOrLineBreak(group) || HasTabOrLineBreak(exts) || HasTabOrLineBreak(exePath))
        return MappingFieldsCheck::TabOrLineBreak;
    return MappingFieldsCheck::Ok;
}

std::wstring OversizeWarning(size_t mappingTextChars, size_t paramsChars) {
    constexpr size_t kMaxMappingChars = kMappingsBufferChars - 1;
    constexpr size_t kMaxParamsChars = kParamsBufferChars - 1;
    std::wstring text;
    if (mappingTextChars > kMaxMappingChars) {
        text += L"The extension mappings take " + std::to_wstring(mappingTextChars) +
                L" characters when saved, but only " + std::to_wstring(kMaxMappingChars) +
                L" can be read back. Remove or shorten some mappings.";
    }
    if (paramsChars > kMaxParamsChars) {
        if (!text.empty()) text += L"\n\n";
        text += L"The mpv extra parameters are " + std::to_wstring(paramsChars) + L" characters long, but only " +
                std::to_wstring(kMaxParamsChars) + L" can be read back. Shorten them.";
    }
    if (!text.empty()) text += L"\n\nNothing was saved.";
    return text;
}
