#include "logic/listediting.h"

#include "logic/trimspaces.h"

QString replacementText(const QString& answer) {
    if (trimSpaces(answer).toLower() == QLatin1String("null"))
        return {};
    return answer;
}

QString replaceWithPrompt(const QString& find) {
    const QChar quote(34);
    return QStringLiteral("Replace: ") + quote + find + quote +
           QStringLiteral(" with: (note: enter in ") + quote + QStringLiteral("null") + quote +
           QStringLiteral(" if you want to replace the text with nothing)");
}
