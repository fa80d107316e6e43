#include "logic/linkresolution.h"

QString withoutLinkPrefix(const QString& reference) {
    QString stripped = reference;
    if (stripped.startsWith(QLatin1String("..."))) {
        stripped.remove(0, 3);
    }
    if (stripped.startsWith(QLatin1Char('/'))) {
        stripped.remove(0, 1);
    }
    return stripped;
}

bool isAbsoluteAddress(const QString& reference) {
    const QString lowered = reference.toLower();
    // "https://" counts as well: taken for a relative path, a secure link would be glued behind
    // the page's folder and lead nowhere.
    return lowered.contains(QLatin1String("http://")) ||
           lowered.contains(QLatin1String("https://")) || lowered.contains(QLatin1String("www."));
}

QString resolveLink(const QString& reference, const QString& baseUrl) {
    QString stripped = withoutLinkPrefix(reference);
    if (isAbsoluteAddress(stripped)) {
        return stripped;
    }
    return baseUrl + stripped;
}
