#pragma once
// What the program was started with: at most one address, shown in the address box and
// fetched once the window is up, as a desktop's "open with" hands one over. Read by Qt's
// command-line parser, so --help and --version answer as in every Qt program.

#include <QString>
#include <QStringList>

struct StartOptions {
    QString address;

    // Whether the arguments ask only for the help or the version, which need no window
    // system: the program can then answer where no display is reachable.
    static bool asksForTextOnly(const QStringList& arguments);

    // Reads the arguments left once the application took its own. Help, the version and a
    // command line that cannot be read are answered here, and the process ends.
    static StartOptions read(const QStringList& arguments);
};
