#include "main/browseraddress.h"

#include <QRegularExpression>

std::optional<QUrl> browserAddress(const QString& typed) {
    const QString text = typed.trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1Char('/')) || text.startsWith(QLatin1Char('\\')))
        return std::nullopt;
    // "name:" starts a scheme unless digits follow (a host with its port, such as host:8080).
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*):(?!\\d)"));
    const bool hasScheme = scheme.match(text).hasMatch();
    const QUrl url(hasScheme ? text : QStringLiteral("http://") + text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    const QString s = url.scheme().toLower();
    if (s != QLatin1String("http") && s != QLatin1String("https"))
        return std::nullopt;
    return url;
}
