// Tarvell: look into web pages. The program's start only creates and loads the main window;
// everything else happens in the handlers of its windows, and the run ends when the last
// window closes.

#include "main/tarvellmain.h"

#include <QApplication>
#include <QNetworkProxyFactory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvell"));
    // Fetch through the proxy the desktop is set up with, as a browser would.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    TarvellMain window;
    window.load();
    // Closed during its title animation: the run is already over.
    if (!window.isVisible())
        return 0;
    return QApplication::exec();
}
