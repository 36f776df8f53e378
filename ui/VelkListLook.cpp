#include "ui/VelkListLook.h"

#include <QAbstractItemView>
#include <QPalette>
#include <QPixmap>

void VelkKeepSelectionVisible(QAbstractItemView& list)
{
    QPalette palette = list.palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    list.setPalette(palette);
}

std::vector<QIcon> VelkListImages(const QPixmap& strip, int imageWidth)
{
    std::vector<QIcon> images;
    for (int x = 0; imageWidth > 0 && x + imageWidth <= strip.width(); x += imageWidth)
        images.emplace_back(strip.copy(x, 0, imageWidth, strip.height()));
    return images;
}
