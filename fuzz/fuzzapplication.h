#pragma once
// The one application object of a target run, for the parts of Qt that want one (translation,
// settings files, fonts). It sees only the program name: libFuzzer's options are not Qt's.

#include <QCoreApplication>

#include <cstdio>

inline void startFuzzApplication(char* programName) {
    static int argc = 1;
    static char* argv[] = {programName, nullptr};
    static QCoreApplication application(argc, argv);
    // Millions of inputs would each print Qt's warnings about odd values; what matters is
    // reported by crashing. A fatal message (a failed Q_ASSERT among them) still ends the run,
    // after saying why.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtFatalMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
}
