#include "widgets/programicon.h"

QIcon programIcon() {
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/tarvell-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/icons/tarvell-16.png"), QSize(16, 16));
    return icon;
}
