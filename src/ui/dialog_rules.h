#pragma once
// The decisions of the two configuration dialogs that need no window: where the controls of
// the configuration dialog go when it grows, which path the file-open dialog may start on,
// and which edits the stored format could not bring back whole.
#include <windows.h>

#include <array>
#include <cstddef>
#include <iterator>
#include <string>
#include <string_view>

#include "resources/resource.h"

// How a control follows the growth: which of its position and size take dx and dy.
struct LayoutAnchor {
    bool moveRight;
    bool moveDown;
    bool widen;
    bool heighten;
};
struct LayoutControl {
    int id;
    LayoutAnchor anchor;
};
// The controls that follow the configuration dialog's size, in the order their initial
// rectangles are recorded. The list grows both ways; the buttons and the label under it ride
// down; the parameter field and the path grow wider as they ride down; OK and Cancel keep to
// the lower right corner.
inline constexpr LayoutControl kLayoutControls[] = {
    {IDC_MAPPING_LIST, {false, false, true, true}},  {IDC_ADD, {false, true, false, false}},
    {IDC_EDIT, {false, true, false, false}},         {IDC_DELETE, {false, true, false, false}},
    {IDC_PARAMS_LABEL, {false, true, false, false}}, {IDC_PARAMS, {false, true, true, false}},
    {IDC_CONFIG_PATH, {false, true, true, false}},   {IDOK, {true, true, false, false}},
    {IDCANCEL, {true, true, false, false}},
};
inline constexpr size_t kLayoutControlCount = std::size(kLayoutControls);

// One deferred move: position, size and SetWindowPos flags.
struct ControlMove {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    UINT flags = 0;
    bool operator==(const ControlMove&) const = default;
};

// How far the client area has grown beyond its initial size; never negative, so a dialog
// shrunk below its start keeps every control at its initial place.
struct GrowthDelta {
    int dx = 0;
    int dy = 0;
    bool operator==(const GrowthDelta&) const = default;
};
GrowthDelta GrowthBeyondInitial(int width, int height, int initWidth, int initHeight);

// One move per row of kLayoutControls for a growth of (dx, dy), from the controls' initial
// rectangles in the table's order.
std::array<ControlMove, kLayoutControlCount> ComputeConfigLayout(const RECT (&initialRects)[kLayoutControlCount],
                                                                 GrowthDelta growth);

// The file-open dialog is offered the current path only when Windows can read it as a
// file name: empty, starting with '\' (root-relative or network), or with a drive colon.
// Folder aliases, relative paths, %VARS% and quoted paths are not.
bool UsableAsInitialFile(std::wstring_view path);

enum class MappingFieldsCheck { Ok, EmptyField, TabOrLineBreak };
// A field of blanks, tabs and line breaks alone counts as empty, as the load reads it. An empty
// field is reported before a tab or line break, because it is the likelier slip.
MappingFieldsCheck CheckMappingFields(std::wstring_view group, std::wstring_view exts, std::wstring_view exePath);

// The warning for a configuration the load could not read back whole, or empty when both
// texts fit their load buffers (mapping text 8191, parameters 1023 characters at most).
std::wstring OversizeWarning(size_t mappingTextChars, size_t paramsChars);
