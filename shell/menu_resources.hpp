// The menus the program is made with: the frame's menu bar (File, Edit,
// Figure, Layout, View, Help) and the figure's context menu, laid out from
// the command table. The application's own menus go between "&Edit" and
// "F&igure"; its "Copy As", "Paste As" and "Language" at the end of "&Edit".
#pragma once

#include <string_view>

#include "shell/menu_tree.hpp"

namespace vke {

// The texts the menu builders look the menus up by.
inline constexpr std::string_view kEditMenuText = "&Edit";
inline constexpr std::string_view kFigureMenuText = "F&igure";
inline constexpr std::string_view kLayoutMenuText = "&Layout";

// The menu bar: a pop-up per menu.
MenuNode MainMenu();
// The figure's context menu: the scale, view, option and grid commands.
MenuNode FigureContextMenu();

}  // namespace vke
