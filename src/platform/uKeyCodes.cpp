#include "uKeyCodes.h"

#include <Qt>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace {

/// A key that is not a letter, digit or function key: its toolkit number
/// (0: none of its own), its XKB key symbol (0: none) and its virtual-key code.
struct tKeyName {
    int toolkit;
    uint32_t keysym;
    uint32_t virtualKey;
};

constexpr tKeyName kKeys[] = {
    {Qt::Key_Backspace, XKB_KEY_BackSpace, 0x08},
    {Qt::Key_Tab, XKB_KEY_Tab, 0x09},
    {Qt::Key_Backtab, XKB_KEY_ISO_Left_Tab, 0x09},
    {Qt::Key_Return, XKB_KEY_Return, 0x0D},
    {Qt::Key_Enter, XKB_KEY_KP_Enter, 0x0D},
    {Qt::Key_Shift, XKB_KEY_Shift_L, 0x10},
    {0, XKB_KEY_Shift_R, 0x10},
    {Qt::Key_Control, XKB_KEY_Control_L, 0x11},
    {0, XKB_KEY_Control_R, 0x11},
    {Qt::Key_Alt, XKB_KEY_Alt_L, 0x12},
    {0, XKB_KEY_Alt_R, 0x12},
    {Qt::Key_AltGr, XKB_KEY_ISO_Level3_Shift, 0x12},
    {Qt::Key_Pause, XKB_KEY_Pause, 0x13},
    {Qt::Key_CapsLock, XKB_KEY_Caps_Lock, 0x14},
    {Qt::Key_Escape, XKB_KEY_Escape, 0x1B},
    {Qt::Key_Space, XKB_KEY_space, 0x20},
    {Qt::Key_PageUp, XKB_KEY_Page_Up, 0x21},
    {Qt::Key_PageDown, XKB_KEY_Page_Down, 0x22},
    {Qt::Key_End, XKB_KEY_End, 0x23},
    {Qt::Key_Home, XKB_KEY_Home, 0x24},
    {Qt::Key_Left, XKB_KEY_Left, 0x25},
    {Qt::Key_Up, XKB_KEY_Up, 0x26},
    {Qt::Key_Right, XKB_KEY_Right, 0x27},
    {Qt::Key_Down, XKB_KEY_Down, 0x28},
    {Qt::Key_Print, XKB_KEY_Print, 0x2C},
    {Qt::Key_Insert, XKB_KEY_Insert, 0x2D},
    {Qt::Key_Delete, XKB_KEY_Delete, 0x2E},
    {Qt::Key_Meta, XKB_KEY_Super_L, 0x5B},
    {0, XKB_KEY_Super_R, 0x5B},
};

} // namespace

uint32_t VirtualKeyOf(int toolkitKey)
{
    // Letters and digits carry the same numbers in both schemes.
    if ((toolkitKey >= Qt::Key_A && toolkitKey <= Qt::Key_Z) || (toolkitKey >= Qt::Key_0 && toolkitKey <= Qt::Key_9))
        return static_cast<uint32_t>(toolkitKey);
    if (toolkitKey >= Qt::Key_F1 && toolkitKey <= Qt::Key_F24)
        return 0x70u + static_cast<uint32_t>(toolkitKey - Qt::Key_F1);
    for (const tKeyName& key : kKeys)
        if (key.toolkit == toolkitKey && toolkitKey != 0)
            return key.virtualKey;
    return 0;
}

uint32_t VirtualKeyOfKeysym(uint32_t keysym)
{
    if (keysym >= XKB_KEY_a && keysym <= XKB_KEY_z)
        return 'A' + (keysym - XKB_KEY_a);
    if ((keysym >= XKB_KEY_A && keysym <= XKB_KEY_Z) || (keysym >= XKB_KEY_0 && keysym <= XKB_KEY_9))
        return keysym;
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F24)
        return 0x70u + (keysym - XKB_KEY_F1);
    for (const tKeyName& key : kKeys)
        if (key.keysym == keysym && keysym != 0)
            return key.virtualKey;
    return 0;
}

bool IsModifierKeysym(uint32_t keysym)
{
    return (keysym >= XKB_KEY_Shift_L && keysym <= XKB_KEY_Hyper_R) ||
           (keysym >= XKB_KEY_ISO_Lock && keysym <= XKB_KEY_ISO_Level5_Lock) || keysym == XKB_KEY_Mode_switch ||
           keysym == XKB_KEY_Num_Lock || keysym == XKB_KEY_Scroll_Lock;
}
