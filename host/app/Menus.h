// The host's menu model: a menu bar of menus of items, each menu and item reference-counted.
// The menu bar holds one reference on each of its menus, a menu one on each of its items; a
// creator or acquirer holds one until it releases it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ASTypes.h"

struct _t_AVMenu;
struct _t_AVMenuItem;

namespace pdfhost {

using Menu = _t_AVMenu;
using MenuItem = _t_AVMenuItem;

class Menubar;

}  // namespace pdfhost

struct _t_AVMenu {
  std::string title;
  std::string name;
  ASExtension owner = nullptr;
  std::vector<_t_AVMenuItem*> items;  // each holds a reference
  int references = 1;

  void acquire() { ++references; }
  // Drops one reference; the last one deletes the menu and drops its items' references.
  void release();
};

struct _t_AVMenuItem {
  std::string title;
  std::string name;
  _t_AVMenu* submenu = nullptr;  // holds a reference
  bool longMenusOnly = false;
  char shortcut = 0;
  AVFlagBits16 flags = 0;
  ASExtension owner = nullptr;
  ASCallback executeProc = nullptr;
  void* executeData = nullptr;
  ASCallback computeEnabledProc = nullptr;
  void* computeEnabledData = nullptr;
  int references = 1;

  void acquire() { ++references; }
  void release();
};

namespace pdfhost {

// Inserts into a list at a position; positions past the end (such as 9999) append.
template <typename T>
void insertAt(std::vector<T*>& list, T* element, AVMenuIndex position)
{
  if (position < 0 || static_cast<std::size_t>(position) >= list.size())
    list.push_back(element);
  else
    list.insert(list.begin() + position, element);
}

class Menubar {
 public:
  Menubar() = default;
  ~Menubar();
  Menubar(const Menubar&) = delete;
  Menubar& operator=(const Menubar&) = delete;

  // The menu of a language-independent name, or null.
  Menu* findMenu(const std::string& name) const;
  // The item of a language-independent name in any menu, or null.
  MenuItem* findItem(const std::string& name) const;
  // Adds a menu, taking a reference on it.
  void addMenu(Menu* menu, AVMenuIndex position);
  const std::vector<Menu*>& menus() const { return menus_; }

 private:
  std::vector<Menu*> menus_;
};

}  // namespace pdfhost
