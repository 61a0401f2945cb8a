#pragma once
// Every window message the host and the plug-in exchange. The host sends the viewer window
// messages in the range 0x8F00 to 0x8F80; the configuration dialog posts one back to the host.
#include <windows.h>

// Host -> viewer window.
inline constexpr UINT DVPLUGINMSG_LOADA = 0x8F01;   // lParam: narrow path, system ANSI code page
inline constexpr UINT DVPLUGINMSG_LOADW = 0x8F02;   // lParam: UTF-16 path
inline constexpr UINT kHostMsgUnused07 = 0x8F07;
inline constexpr UINT kHostMsgResize = 0x8F08;      // lParam: width bits 0-15, height bits 16-31
inline constexpr UINT kHostMsgSizeQuery = 0x8F14;   // wParam: int32*, lParam: int32[2]
inline constexpr UINT kHostMsgUnused19 = 0x8F19;
inline constexpr UINT DVPLUGINMSG_CLEAR = 0x8F1B;
inline constexpr UINT kHostMsgFirst = 0x8F00;
inline constexpr UINT kHostMsgLast = 0x8F80;
// What the size query writes into its wParam integer.
inline constexpr int kSizeQueryValue = 32;

// Configuration dialog -> the host's notification window, after a save attempt:
// wParam 0, lParam the notification value DVP_Configure was given.
inline constexpr UINT DVPLUGINMSG_REINITIALIZE = 0x8F1F;
