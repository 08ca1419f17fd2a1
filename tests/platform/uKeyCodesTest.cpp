// Key numbers of the toolkit and of XKB (the Wayland keyboard) to Windows
// virtual-key codes.
#include "uKeyCodes.h"

#include <Qt>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <gtest/gtest.h>

TEST(KeyCodes, ToolkitKeysAndKeySymbolsMeetOnTheSameCodes)
{
    struct tCase {
        int toolkit;
        uint32_t keysym;
        uint32_t virtualKey;
    };
    const tCase cases[] = {
        {Qt::Key_A, XKB_KEY_a, 'A'},          {Qt::Key_Z, XKB_KEY_Z, 'Z'},
        {Qt::Key_0, XKB_KEY_0, '0'},          {Qt::Key_9, XKB_KEY_9, '9'},
        {Qt::Key_F1, XKB_KEY_F1, 0x70},       {Qt::Key_F24, XKB_KEY_F24, 0x87},
        {Qt::Key_Shift, XKB_KEY_Shift_L, 0x10}, {Qt::Key_Control, XKB_KEY_Control_L, 0x11},
        {Qt::Key_Alt, XKB_KEY_Alt_L, 0x12},   {Qt::Key_Return, XKB_KEY_Return, 0x0D},
        {Qt::Key_Escape, XKB_KEY_Escape, 0x1B}, {Qt::Key_Space, XKB_KEY_space, 0x20},
        {Qt::Key_Left, XKB_KEY_Left, 0x25},   {Qt::Key_Delete, XKB_KEY_Delete, 0x2E},
        {Qt::Key_unknown, XKB_KEY_NoSymbol, 0}, {Qt::Key_Eacute, XKB_KEY_eacute, 0},
    };
    for (const tCase& c : cases) {
        EXPECT_EQ(VirtualKeyOf(c.toolkit), c.virtualKey) << "toolkit key " << c.toolkit;
        EXPECT_EQ(VirtualKeyOfKeysym(c.keysym), c.virtualKey) << "key symbol " << c.keysym;
    }
    // Right-hand modifiers have no toolkit number of their own.
    EXPECT_EQ(VirtualKeyOfKeysym(XKB_KEY_Shift_R), 0x10u);
    EXPECT_EQ(VirtualKeyOfKeysym(XKB_KEY_Control_R), 0x11u);
    EXPECT_EQ(VirtualKeyOf(0), 0u);
}

TEST(KeyCodes, ModifierKeySymbols)
{
    for (const uint32_t keysym : {XKB_KEY_Shift_L, XKB_KEY_Control_R, XKB_KEY_Caps_Lock, XKB_KEY_Alt_L, XKB_KEY_Super_R,
                                  XKB_KEY_Hyper_L, XKB_KEY_ISO_Level3_Shift, XKB_KEY_Mode_switch, XKB_KEY_Num_Lock,
                                  XKB_KEY_Scroll_Lock})
        EXPECT_TRUE(IsModifierKeysym(keysym)) << keysym;
    for (const uint32_t keysym : {XKB_KEY_a, XKB_KEY_Return, XKB_KEY_Escape, XKB_KEY_F1, XKB_KEY_space,
                                  XKB_KEY_XF86AudioPlay, XKB_KEY_NoSymbol})
        EXPECT_FALSE(IsModifierKeysym(keysym)) << keysym;
}
