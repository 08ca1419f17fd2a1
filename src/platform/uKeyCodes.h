#pragma once
// The program keeps its key table by Windows virtual-key codes; the toolkit
// and the Wayland keyboard (XKB key symbols) report their own key numbers.
#include <cstdint>

/// The virtual-key code of a toolkit key number (letters, digits, Shift,
/// Control, Alt, arrows, Escape, Enter, Space, editing and function keys);
/// 0 for keys without one.
uint32_t VirtualKeyOf(int toolkitKey);
/// The same for an XKB key symbol (the keys of a Wayland keyboard).
uint32_t VirtualKeyOfKeysym(uint32_t keysym);
