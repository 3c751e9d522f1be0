#pragma once
// Merging an active child window's menus into the frame's menu bar by
// group number: a child menu replaces the frame menu of the same group, the
// others stand in group order (a child menu before a frame menu of an
// equal group cannot happen, since equal groups replace).
#include <QList>

#include "eqwindow/EqualizerWindow.h"

QList<QMenu*> MergeMenus(const QList<MenuGroup>& frameMenus, const QList<MenuGroup>& childMenus);
