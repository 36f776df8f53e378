#pragma once

#include <QIcon>
#include <vector>

class QAbstractItemView;
class QPixmap;

// How the module's lists look, where more than one window shows the same.

// The selection keeps its colours when the list loses the focus, as a list with the
// "always show selection" style does: the inactive highlight takes the active one.
void VelkKeepSelectionVisible(QAbstractItemView& list);

// The images of an icon strip (bitmap 134), each imageWidth pixels wide, left to right; empty
// when the strip is missing.
std::vector<QIcon> VelkListImages(const QPixmap& strip, int imageWidth);
