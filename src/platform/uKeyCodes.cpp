#include "uKeyCodes.h"

#include <Qt>

uint32_t VirtualKeyOf(int toolkitKey)
{
    // Letters and digits carry the same numbers in both schemes.
    if ((toolkitKey >= Qt::Key_A && toolkitKey <= Qt::Key_Z) || (toolkitKey >= Qt::Key_0 && toolkitKey <= Qt::Key_9))
        return static_cast<uint32_t>(toolkitKey);
    if (toolkitKey >= Qt::Key_F1 && toolkitKey <= Qt::Key_F24)
        return 0x70u + static_cast<uint32_t>(toolkitKey - Qt::Key_F1);
    switch (toolkitKey) {
    case Qt::Key_Backspace:
        return 0x08;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 0x09;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 0x0D;
    case Qt::Key_Shift:
        return 0x10;
    case Qt::Key_Control:
        return 0x11;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return 0x12;
    case Qt::Key_Pause:
        return 0x13;
    case Qt::Key_CapsLock:
        return 0x14;
    case Qt::Key_Escape:
        return 0x1B;
    case Qt::Key_Space:
        return 0x20;
    case Qt::Key_PageUp:
        return 0x21;
    case Qt::Key_PageDown:
        return 0x22;
    case Qt::Key_End:
        return 0x23;
    case Qt::Key_Home:
        return 0x24;
    case Qt::Key_Left:
        return 0x25;
    case Qt::Key_Up:
        return 0x26;
    case Qt::Key_Right:
        return 0x27;
    case Qt::Key_Down:
        return 0x28;
    case Qt::Key_Print:
        return 0x2C;
    case Qt::Key_Insert:
        return 0x2D;
    case Qt::Key_Delete:
        return 0x2E;
    case Qt::Key_Meta:
        return 0x5B;
    default:
        return 0;
    }
}
