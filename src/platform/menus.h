// Menu bars and popup menus. The SDL backend draws them inside the window
// with the engine's own font code; Alt and F10 never open them.
#pragma once

#include <string>
#include <vector>

#include "platform/geometry.h"

namespace vv::platform {

struct MenuItemDesc {
  int id = 0;                // command id posted when chosen; 0 for submenus
  std::string textSjis;
  bool separator = false;
  bool enabled = true;
  bool checked = false;
  std::vector<MenuItemDesc> children;  // non-empty: a submenu
};

class Menus {
 public:
  virtual ~Menus() = default;
  // Replaces the menu bar of `slot`'s window (an empty list removes it).
  virtual void SetMenuBar(int slot, const std::vector<MenuItemDesc>& bar) = 0;
  // Opens `items` as a popup at `screen` and returns the chosen id (0 none).
  virtual int Popup(int slot, const std::vector<MenuItemDesc>& items, Point screen) = 0;
};

}  // namespace vv::platform
