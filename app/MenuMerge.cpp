#include "app/MenuMerge.h"

#include <algorithm>

QList<QMenu*> MergeMenus(const QList<MenuGroup>& frameMenus, const QList<MenuGroup>& childMenus) {
  QList<MenuGroup> merged;
  for (const MenuGroup& m : frameMenus) {
    const bool replaced = std::any_of(childMenus.begin(), childMenus.end(),
                                      [&](const MenuGroup& c) { return c.group == m.group; });
    if (!replaced) merged.append(m);
  }
  merged.append(childMenus);
  // Stable: menus of one group keep the order they were given in.
  std::stable_sort(merged.begin(), merged.end(),
                   [](const MenuGroup& a, const MenuGroup& b) { return a.group < b.group; });
  QList<QMenu*> bar;
  for (const MenuGroup& m : merged) bar.append(m.menu);
  return bar;
}
