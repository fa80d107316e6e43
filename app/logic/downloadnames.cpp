#include "logic/downloadnames.h"

#include "logic/linkresolution.h"
#include "logic/trimspaces.h"

namespace {

// Zero-width spaces and joiners, and the marks that turn text around: "bidi\u202Etxt.exe" shows
// as "bidiexe.txt", a program dressed as a text file.
bool isDirectionOrInvisibleMark(char16_t c) {
    return (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

} // namespace

QString fileNameOf(const QString& address) {
    return address.mid(address.lastIndexOf(QLatin1Char('/')) + 1);
}

QString fileExtOf(const QString& name) {
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot);
}

QString checkedEntryAddress(const QString& entry) {
    return withoutLinkPrefix(trimSpaces(entry));
}

QString finalName(const QString& typed, const QString& extension) {
    if (extension.isEmpty() || typed.toLower().contains(extension.toLower()))
        return typed;
    return typed + extension;
}

QString refusedNameReason(const QString& name) {
    if (name.isEmpty())
        return QStringLiteral("The address names no file: it ends in \"/\".");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\" names a folder, not a file.").arg(name);
    // Both separators, wherever the program runs: a name from a page must never climb out.
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')))
        return QStringLiteral("The name \"%1\" holds a path separator.").arg(name);
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return QStringLiteral("The name holds a control character (code %1).").arg(c.unicode());
        if (isDirectionOrInvisibleMark(c.unicode())) {
            return QStringLiteral("The name holds an invisible formatting character (U+%1), which "
                                  "can make it show as another name.")
                .arg(QString::number(c.unicode(), 16).toUpper());
        }
    }
    return {};
}

QString checkedDownloadQuestion(const QString& folder, bool programFolder) {
    const QString where = programFolder
                              ? QStringLiteral("into the same folder as this application (")
                              : QStringLiteral("into your download folder (");
    return QStringLiteral("This operation will download all of the selected files ") + where +
           folder +
           QStringLiteral(").  In doing so, it will overwrite any files in this folder that have "
                          "the same name as a file being downloaded.  Do you want to continue?");
}
