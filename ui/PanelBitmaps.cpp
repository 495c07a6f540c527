#include "ui/PanelBitmaps.h"

#include <QString>

namespace kestrel::ui {

QPixmap LoadBitmap(int id)
{
    if (id <= 0)
        return {};
    return QPixmap(QStringLiteral(":/kestrel/bitmaps/%1.png").arg(id));
}

QIcon KestrelIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/kestrel/icons/hicolor/%1x%1/apps/kestrel.png").arg(size), QSize(size, size));
    return icon;
}

} // namespace kestrel::ui
