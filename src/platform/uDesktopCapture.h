#pragma once
// The desktop capture: a photograph of what the screens show, taken before
// the screen saver's window covers them, so the saver can start from the
// untouched desktop and bring it back at the end.
#include "uBitmap.h"
#include "uMath.h"

#include <optional>

/// The screens' current picture. Without an area, the whole virtual desktop:
/// every screen at its place, whatever lies between screens black. With an
/// area (virtual-desktop pixels, right and bottom exclusive), only that part.
/// An invalid (empty) bitmap when there is no graphical application or no
/// screen, when the area is empty or when the platform refuses to give the
/// screens' pixels. On a Wayland desktop, where the toolkit cannot grab the
/// screens, the compositor copies its outputs if it offers screen copy
/// (sway, Hyprland and the other wlroots desktops do). Every pixel is opaque.
tBitmap CaptureDesktop(std::optional<tRect> area = std::nullopt);
