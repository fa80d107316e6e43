// Tarvell: look into web pages. The program's start only creates and loads the main window;
// everything else happens in the handlers of its windows, and the run ends when the last
// window closes.

#include "logic/pagememory.h"
#include "main/startoptions.h"
#include "main/tarvellmain.h"

#include <Qsci/qsciglobal.h>

#include <QApplication>
#include <QLineEdit>
#include <QNetworkProxyFactory>
#include <QTimer>

int main(int argc, char* argv[]) {
    reuseFreedPageMemory();
    QCoreApplication::setApplicationName(QStringLiteral("Tarvell"));
    // Names the editor the program carries: the packaged one, used when the build could not
    // have the editor's source, is much slower on a page that is one long line.
    QCoreApplication::setApplicationVersion(
        QStringLiteral(TARVELL_VERSION "\neditor: QScintilla " QSCINTILLA_VERSION_STR
                                       ", " TARVELL_EDITOR_DESCRIPTION));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Help and the version are answered without a display, so they work anywhere.
    if (StartOptions::asksForTextOnly(arguments)) {
        const QCoreApplication text(argc, argv);
        StartOptions::read(QCoreApplication::arguments());
    }

    QApplication app(argc, argv);
    // Names the desktop entry, so the desktop shows the window with the program's icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.tarvell.Tarvell"));
    const StartOptions options = StartOptions::read(QCoreApplication::arguments());
    // Fetch through the proxy the desktop is set up with, as a browser would.
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    TarvellMain window;
    if (!options.address.isEmpty())
        window.addressBox()->setText(options.address);
    window.load();
    // Closed during its title animation: the run is already over.
    if (!window.isVisible())
        return 0;
    if (!options.address.isEmpty())
        QTimer::singleShot(0, &window, &TarvellMain::getHtmlSource);
    return QApplication::exec();
}
