#include "main/startoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace {

struct Parser {
    Parser()
        : help(parser.addHelpOption())
        , version(parser.addVersionOption()) {
        parser.setApplicationDescription(
            QStringLiteral("Look into web pages: their HTML source, their links and the files "
                           "they refer to."));
        parser.addPositionalArgument(QStringLiteral("address"),
                                     QStringLiteral("The page to fetch once the window is open."),
                                     QStringLiteral("[address]"));
    }

    QCommandLineParser parser;
    QCommandLineOption help;
    QCommandLineOption version;
};

} // namespace

bool StartOptions::asksForTextOnly(const QStringList& arguments) {
    Parser command;
    // Options of the window system ("-platform offscreen") are unknown here and do not matter:
    // only whether help or the version was asked for does.
    command.parser.parse(arguments);
    return command.parser.isSet(command.help) || command.parser.isSet(command.version) ||
           command.parser.optionNames().contains(QStringLiteral("help-all"));
}

StartOptions StartOptions::read(const QStringList& arguments) {
    Parser command;
    command.parser.process(arguments);
    const QStringList positional = command.parser.positionalArguments();
    if (positional.size() > 1) {
        std::fputs(
            qPrintable(QStringLiteral("%1: give at most one address\n\n%2")
                           .arg(QCoreApplication::applicationName(), command.parser.helpText())),
            stderr);
        std::exit(EXIT_FAILURE);
    }
    StartOptions options;
    if (!positional.isEmpty())
        options.address = positional.first();
    return options;
}
