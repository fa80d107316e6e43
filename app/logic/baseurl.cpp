#include "logic/baseurl.h"

std::optional<QString> folderAddress(const QString& address) {
    const QChar slash(QLatin1Char('/'));
    if (address.endsWith(slash)) {
        return address;
    }
    // A bare host name such as "www.example.com" is a folder, although it holds a dot.
    if (address.right(4).toLower() == QLatin1String(".com")) {
        return address + slash;
    }
    const qsizetype lastSlash = address.lastIndexOf(slash);
    if (lastSlash < 0) {
        return std::nullopt;
    }
    // When the last "/" closes the "://" after the scheme, what follows is the host, whose dots
    // do not make it a file name. Taking the text up to that "/" would give a folder of just
    // "http://", and every relative reference of the page would turn into a host of its own.
    if (lastSlash >= 2 && address.mid(lastSlash - 2, 3) == QLatin1String("://")) {
        return address + slash;
    }
    if (address.indexOf(QLatin1Char('.'), lastSlash) >= 0) {
        return address.left(lastSlash + 1);
    }
    return address + slash;
}
