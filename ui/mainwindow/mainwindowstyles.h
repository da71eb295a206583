// Looks of the main window's widgets that both its set-up and its flows use.
#pragma once

namespace mainwindowstyles {

constexpr int castCodeLength = 6;

constexpr char helpStyle[] = "QLabel{color: #B5BFCE;}";
constexpr char helpHoverStyle[] = "QLabel{color: #6176FF;}";
constexpr char helpSignStyle[] =
    "QLabel{background-image: url(:images/help.png);background-repeat: no-repeat;}";
constexpr char helpSignHoverStyle[] =
    "QLabel{background-image: url(:images/help_press.png);background-repeat: no-repeat;}";

} // namespace mainwindowstyles
