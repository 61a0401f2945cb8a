// How the configuration dialog's controls follow its size.
#include <gtest/gtest.h>

#include <map>

#include "ui_driver.h"

using namespace testsupport;
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

RECT ControlRect(HWND dialog, int id) {
    RECT r = {};
    GetWindowRect(GetDlgItem(dialog, id), &r);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::map<int, RECT> ControlRects(HWND dialog) {
    std::map<int, RECT> rects;
    for (const Follow& f : kFollow) rects[f.id] = ControlRect(dialog, f.id);
    return rects;
}

SIZE ClientSize(HWND dialog) {
    RECT r = {};
    GetClientRect(dialog, &r);
    return {r.right, r.bottom};
}

void ExpectFollowed(HWND dialog, const std::map<int, RECT>& initial, int dx, int dy) {
    for (const Follow& f : kFollow) {
        const RECT& from = initial.at(f.id);
        const RECT now = ControlRect(dialog, f.id);
        SCOPED_TRACE("control " + std::to_string(f.id) + " grown by " + std::to_string(dx) + "," + std::to_string(dy));
        EXPECT_EQ(now.left, from.left + (f.right ? dx : 0));
        EXPECT_EQ(now.top, from.top + (f.down ? dy : 0));
        EXPECT_EQ(now.right - now.left, from.right - from.left + (f.wider ? dx : 0));
        EXPECT_EQ(now.bottom - now.top, from.bottom - from.top + (f.taller ? dy : 0));
    }
}

void SendSize(HWND dialog, WPARAM kind, int width, int height) {
    SendMessageW(dialog, WM_SIZE, kind, MAKELPARAM(width, height));
}

TEST(ConfigDialogLayout, GrowingTheWindowMovesAndSizesTheNineControls) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    const auto initial = ControlRects(s.dialog);
    const SIZE start = ClientSize(s.dialog);
    RECT window = {};
    GetWindowRect(s.dialog, &window);

    const std::pair<int, int> growths[] = {{120, 80}, {0, 45}, {33, 0}};
    for (const auto& [gx, gy] : growths) {
        SetWindowPos(s.dialog, nullptr, 0, 0, window.right - window.left + gx, window.bottom - window.top + gy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Flush();
        const SIZE now = ClientSize(s.dialog);
        EXPECT_EQ(now.cx - start.cx, gx);
        EXPECT_EQ(now.cy - start.cy, gy);
        ExpectFollowed(s.dialog, initial, now.cx - start.cx, now.cy - start.cy);
    }
}

TEST(ConfigDialogLayout, BelowTheInitialSizeAndWhenMinimisedNothingMoves) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    const auto initial = ControlRects(s.dialog);
    const SIZE start = ClientSize(s.dialog);

    const std::pair<int, int> smaller[] = {{-100, -60}, {-1, 0}, {0, -1}, {-start.cx, -start.cy}};
    for (const auto& [sx, sy] : smaller) {
        SendSize(s.dialog, SIZE_RESTORED, start.cx + sx, start.cy + sy);
        ExpectFollowed(s.dialog, initial, 0, 0);
    }
    // Narrower but taller: only the height counts.
    SendSize(s.dialog, SIZE_RESTORED, start.cx - 50, start.cy + 20);
    ExpectFollowed(s.dialog, initial, 0, 20);

    SendSize(s.dialog, SIZE_RESTORED, start.cx + 40, start.cy + 30);
    ExpectFollowed(s.dialog, initial, 40, 30);
    SendSize(s.dialog, SIZE_MINIMIZED, 0, 0);
    ExpectFollowed(s.dialog, initial, 40, 30);
    SendSize(s.dialog, SIZE_MINIMIZED, start.cx + 200, start.cy + 200);
    ExpectFollowed(s.dialog, initial, 40, 30);
}

TEST(ConfigDialogLayout, TheMinimumTrackingSizeIsTheInitialClientSize) {
    ConfigSession s(kThreeRows);
    ASSERT_NE(s.dialog, nullptr);
    const SIZE start = ClientSize(s.dialog);
    MINMAXINFO info = {};
    info.ptMinTrackSize = {1, 1};
    info.ptMaxTrackSize = {5000, 5000};
    SendMessageW(s.dialog, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, start.cx);
    EXPECT_EQ(info.ptMinTrackSize.y, start.cy);
    EXPECT_EQ(info.ptMaxTrackSize.x, 5000) << "only the minimum is set";

    // The system holds a sizing window to that minimum: the whole window, frame included.
    SetWindowPos(s.dialog, nullptr, 0, 0, 20, 20, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT window = {};
    GetWindowRect(s.dialog, &window);
    EXPECT_EQ(window.right - window.left, start.cx);
    EXPECT_EQ(window.bottom - window.top, start.cy);
}

}  // namespace
