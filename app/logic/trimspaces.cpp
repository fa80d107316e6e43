#include "logic/trimspaces.h"

QStringView trimSpaces(QStringView text) {
    const QChar space(QLatin1Char(' '));
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == space) {
        ++begin;
    }
    while (end > begin && text[end - 1] == space) {
        --end;
    }
    return text.sliced(begin, end - begin);
}

QString trimSpaces(const QString& text) {
    const QStringView trimmed = trimSpaces(QStringView(text));
    if (trimmed.size() == text.size()) {
        return text;
    }
    return trimmed.toString();
}
