// How the configuration dialog's controls follow its size.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "ui_driver.h"

using namespace uitest;

namespace {

// How each control follows a growth of (dx, dy), written out once more here so that the test
// does not share a mistake with the plug-in's own table.
struct Follow {
    int id;
    bool right, down, wider, taller;
};
constexpr Follow kFollow[] = {
    {IDC_MAPPINGS_LABEL, false, false, false, false},
    {IDC_MAPPING_LIST, false, false, true, true},
    {IDC_ADD, false, true, false, false},
    {IDC_EDIT, false, true, false, false},
    {IDC_DELETE, false, true, false, false},
    {IDC_PARAMS_LABEL, false, true, false, false},
    {IDC_PARAMS, false, true, true, false},
    {IDC_CONFIG_PATH, false, true, true, false},
    {IDOK, true, true, false, false},
    {IDCANCEL, true, true, false, false},
};

// x, y, width and height of each control of kFollow, in the dialog's client coordinates.
using Boxes = std::vector<std::array<LONG, 4>>;
Boxes Layout(HWND dialog) {
    Boxes boxes;
    for (const Follow& f : kFollow) {
        RECT r = {};
        GetWindowRect(GetDlgItem(dialog, f.id), &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        boxes.push_back({r.left, r.top, r.right - r.left, r.bottom - r.top});
    }
    return boxes;
}
Boxes Grown(Boxes boxes, int dx, int dy) {
    for (size_t i = 0; i < boxes.size(); ++i) {
        const Follow& f = kFollow[i];
        boxes[i] = {boxes[i][0] + (f.right ? dx : 0), boxes[i][1] + (f.down ? dy : 0), boxes[i][2] + (f.wider ? dx : 0),
                    boxes[i][3] + (f.taller ? dy : 0)};
    }
    return boxes;
}

SIZE ClientSize(HWND dialog) {
    RECT r = {};
    GetClientRect(dialog, &r);
    return {r.right, r.bottom};
}

void ResizeWindow(HWND dialog, int width, int height) {
    SetWindowPos(dialog, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Flush();
}

TEST(ConfigDialogLayout, ControlsFollowOnlyGrowthBeyondTheInitialSizeWhichIsTheMinimum) {
    ConfigSession s;
    ASSERT_NE(s.dialog, nullptr);
    const Boxes initial = Layout(s.dialog);
    const SIZE start = ClientSize(s.dialog);
    RECT window = {};
    GetWindowRect(s.dialog, &window);

    // Resizing the window itself, as the user does.
    ResizeWindow(s.dialog, window.right - window.left + 120, window.bottom - window.top + 80);
    const SIZE grown = ClientSize(s.dialog);
    EXPECT_EQ(std::make_pair(grown.cx, grown.cy), std::make_pair(start.cx + 120, start.cy + 80));
    EXPECT_EQ(Layout(s.dialog), Grown(initial, 120, 80));

    // Size messages: each case is laid out from the initial rectangles, except that a
    // minimised dialog leaves the controls where the case before put them.
    struct Case {
        WPARAM kind;
        int width, height;  // relative to the initial client size
        int dx, dy;         // the growth the controls show afterwards
    };
    const Case cases[] = {
        {SIZE_RESTORED, 0, 0, 0, 0},        {SIZE_RESTORED, 0, 45, 0, 45},
        {SIZE_RESTORED, 33, 0, 33, 0},      {SIZE_RESTORED, 1, 1, 1, 1},
        {SIZE_RESTORED, -100, -60, 0, 0},   {SIZE_RESTORED, -1, 0, 0, 0},
        {SIZE_RESTORED, 0, -1, 0, 0},       {SIZE_RESTORED, -start.cx, -start.cy, 0, 0},
        {SIZE_RESTORED, -50, 20, 0, 20},    {SIZE_RESTORED, 50, -20, 50, 0},
        {SIZE_RESTORED, 40, 30, 40, 30},    {SIZE_MINIMIZED, -start.cx, -start.cy, 40, 30},
        {SIZE_MINIMIZED, 200, 200, 40, 30},
    };
    for (const Case& c : cases) {
        SendMessageW(s.dialog, WM_SIZE, c.kind, MAKELPARAM(start.cx + c.width, start.cy + c.height));
        EXPECT_EQ(Layout(s.dialog), Grown(initial, c.dx, c.dy)) << c.width << "," << c.height << " kind " << c.kind;
    }

    MINMAXINFO info = {};
    info.ptMinTrackSize = {1, 1};
    info.ptMaxTrackSize = {5000, 5000};
    SendMessageW(s.dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(std::make_pair(info.ptMinTrackSize.x, info.ptMinTrackSize.y), std::make_pair(start.cx, start.cy));
    EXPECT_EQ(info.ptMaxTrackSize.x, 5000) << "only the minimum is set";
    // The system holds a sizing window to that minimum: the whole window, frame included.
    ResizeWindow(s.dialog, 20, 20);
    GetWindowRect(s.dialog, &window);
    EXPECT_EQ(std::make_pair(window.right - window.left, window.bottom - window.top),
              std::make_pair(start.cx, start.cy));
}

}  // namespace
