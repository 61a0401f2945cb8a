#pragma once
// A window's state object in its GWLP_USERDATA slot: one place for the cast, and ownership said
// out loud. What AttachWindowData puts there belongs to the window until DetachWindowData takes
// it back; a window procedure does that in its last message at the latest.
#include <windows.h>

#include <memory>

template <class T>
T* WindowData(HWND hwnd) {
    return reinterpret_cast<T*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

template <class T>
void AttachWindowData(HWND hwnd, std::unique_ptr<T> data) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data.release()));
}

// Empties the slot and hands back what it owned (null when it was empty).
template <class T>
std::unique_ptr<T> DetachWindowData(HWND hwnd) {
    return std::unique_ptr<T>(reinterpret_cast<T*>(SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0)));
}

// Points the slot at an object that someone else owns and that outlives the window.
template <class T>
void LendWindowData(HWND hwnd, T* data) {
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
}
