#include "logic/typedaddress.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("TypedAddress", text);
}

std::optional<QUrl> refuse(QString* problem, const QString& why) {
    if (problem)
        *problem = why;
    return std::nullopt;
}

// The scheme the user wrote, lower case, or empty when the text starts with a host name.
QString writtenScheme(const QString& address) {
    static const QRegularExpression schemePrefix(
        QStringLiteral("^([A-Za-z][A-Za-z0-9+.\\-]*):(.*)$"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression portThenPath(QStringLiteral("^[0-9]*(?:[/?#].*)?$"),
                                                 QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch match = schemePrefix.match(address);
    if (!match.hasMatch())
        return {};
    const QString rest = match.captured(2);
    if (!rest.startsWith(QLatin1String("//")) && portThenPath.match(rest).hasMatch())
        return {};
    return match.captured(1).toLower();
}

} // namespace

std::optional<QUrl> readTypedAddress(const QString& typed, QString* problem) {
    const QString trimmed = typed.trimmed();
    if (trimmed.isEmpty())
        return refuse(problem, tr("No address was given."));
    // A path of this machine or of a Windows share, never a web address.
    if (trimmed.startsWith(QLatin1Char('\\')))
        return refuse(problem, tr("\"%1\" is a path, not a web address.").arg(trimmed));

    QString full = trimmed;
    const QString scheme = writtenScheme(trimmed);
    if (scheme.isEmpty()) {
        full = (trimmed.startsWith(QLatin1String("//")) ? QStringLiteral("http:")
                                                        : QStringLiteral("http://")) +
               trimmed;
    } else if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        return refuse(problem, tr("The address \"%1\" uses the scheme \"%2\"; only http and "
                                  "https addresses can be fetched.")
                                   .arg(trimmed, scheme));
    }

    const QUrl url(full, QUrl::TolerantMode);
    if (!url.isValid() || url.host().isEmpty())
        return refuse(problem, tr("The address \"%1\" is not valid.").arg(trimmed));
    return url;
}
