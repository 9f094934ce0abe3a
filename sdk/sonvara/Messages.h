// Window message and command numbers the host and modules agree on. A window
// message reaches a module window as a CWindowMessageEvent (MessageEvent.h).
#pragma once

namespace sonvara {

inline constexpr unsigned WM_CLOSE = 0x0010;
inline constexpr unsigned WM_COMMAND = 0x0111;
inline constexpr unsigned WM_USER = 0x0400;

// Player ownership (sent to the module window, parameters 0, 0).
inline constexpr unsigned WM_PLAYER_ACQUIRED = WM_USER + 10;
inline constexpr unsigned WM_PLAYER_LOST = WM_USER + 12;
// Microphone ownership.
inline constexpr unsigned WM_MICRO_ACQUIRED = WM_USER + 30;
inline constexpr unsigned WM_MICRO_LOST = WM_USER + 31;
// Sent to every window of the frame after a skin change.
inline constexpr unsigned WM_SKIN_CHANGED = 0x046F;

// Transport commands forwarded to the player's owner as WM_COMMAND with the
// id in the first parameter (second 0).
inline constexpr unsigned ID_PLAYER_GOTOPREV = 33000;
inline constexpr unsigned ID_PLAYER_BACKWARD = 33005;
inline constexpr unsigned ID_PLAYER_PLAY = 33010;
inline constexpr unsigned ID_PLAYER_PAUSE = 33015;
inline constexpr unsigned ID_PLAYER_STOP = 33020;
inline constexpr unsigned ID_PLAYER_FORWARD = 33025;
inline constexpr unsigned ID_PLAYER_GOTONEXT = 33030;
inline constexpr unsigned ID_PLAYER_SHUFFLE = 33035;
inline constexpr unsigned ID_PLAYER_REPEAT = 33040;
inline constexpr unsigned ID_PLAYER_RECORD = 33090;
// WM_COMMAND to the owner when the user drops the position slider's thumb;
// second parameter = the new position.
inline constexpr unsigned ID_PLAYER_SEEK = 1035;

// "Go to" items and module toolbar buttons: first id + module table index.
inline constexpr unsigned ID_MODULE_FIRST = 236;
inline constexpr unsigned ID_MODULE_LAST = 266;

} // namespace sonvara
