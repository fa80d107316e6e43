// Tarvell: look into web pages. The program's start only creates and loads the main window;
// everything else happens in the handlers of its windows, and the run ends when the last
// window closes.

#include "main/tarvellmain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvell"));
    TarvellMain window;
    window.load();
    // Closed during its title animation: the run is already over.
    if (!window.isVisible())
        return 0;
    return QApplication::exec();
}
