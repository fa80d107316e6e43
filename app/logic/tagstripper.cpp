#include "logic/tagstripper.h"

namespace {

// Cutting tag after tag, each time from the first "<" of what is left, comes down to one pass:
// the text before the first "<" can hold no "<", so after a cut the next first "<" is the first
// one after the cut. Rebuilding the text at every cut would cost the square of its size.
QString cutTags(QStringView source) {
    QString stripped;
    qsizetype keptFrom = 0;
    for (;;) {
        const qsizetype open = source.indexOf(QLatin1Char('<'), keptFrom);
        if (open < 0) {
            break;
        }
        const qsizetype close = source.indexOf(QLatin1Char('>'), open + 1);
        if (close < 0) {
            break;
        }
        if (stripped.isNull()) {
            stripped.reserve(source.size());
        }
        stripped.append(source.mid(keptFrom, open - keptFrom));
        keptFrom = close + 1;
    }
    if (keptFrom == 0) {
        return source.toString();
    }
    stripped.append(source.mid(keptFrom));
    return stripped;
}

QString collapseTripleLineBreaks(const QString& text) {
    static constexpr QStringView tripleBreak = u"\r\n\r\n\r\n";
    const QStringView view(text);
    QString collapsed;
    qsizetype keptFrom = 0;
    qsizetype from = 0;
    for (;;) {
        const qsizetype found = view.indexOf(tripleBreak, from);
        if (found < 0) {
            break;
        }
        if (collapsed.isNull()) {
            collapsed.reserve(text.size());
        }
        collapsed.append(view.mid(keptFrom, found - keptFrom));
        collapsed.append(QLatin1String("\r\n"));
        // Going on behind the replaced breaks keeps the pass single: breaks left over and the
        // one put in are not collapsed again.
        keptFrom = from = found + tripleBreak.size();
    }
    if (keptFrom == 0) {
        return text;
    }
    collapsed.append(view.mid(keptFrom));
    return collapsed;
}

} // namespace

QString takeOutHtml(const QString& text) {
    return collapseTripleLineBreaks(cutTags(text));
}
