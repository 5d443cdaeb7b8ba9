#include "Menus.h"

void _t_AVMenu::release()
{
  if (--references > 0)
    return;
  for (auto* item : items)
    item->release();
  delete this;
}

void _t_AVMenuItem::release()
{
  if (--references > 0)
    return;
  if (submenu != nullptr)
    submenu->release();
  delete this;
}

namespace pdfhost {

Menubar::~Menubar()
{
  for (auto* menu : menus_)
    menu->release();
}

Menu* Menubar::findMenu(const std::string& name) const
{
  for (auto* menu : menus_)
    if (menu->name == name)
      return menu;
  return nullptr;
}

MenuItem* Menubar::findItem(const std::string& name) const
{
  for (auto* menu : menus_)
    for (auto* item : menu->items)
      if (item->name == name)
        return item;
  return nullptr;
}

void Menubar::addMenu(Menu* menu, AVMenuIndex position)
{
  menu->acquire();
  insertAt(menus_, menu, position);
}

}  // namespace pdfhost
