#include "logic/metaprescan.h"

#include "logic/documentdecoding.h"

#include <QSet>

#include <algorithm>
#include <optional>

// Running out of bytes anywhere ends the search with nothing: a meta cut off by the reach may
// be missing the very attribute that would change its meaning. Every step below that runs out
// leaves its position at the end, which ends the search loop.

namespace {

struct Attribute {
    QByteArray name;
    QByteArray value;
};

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Names and values are compared without case, so letters are lowered as they are read.
char asciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

// The label table leaves UTF-32 out, as it is never used to decode; a page naming it in a meta
// is as mistaken as one naming UTF-16, and gets the same UTF-8, so its meta still counts.
QByteArray encodingOfMetaLabel(QByteArrayView label) {
    if (QByteArray encoding = encodingForLabel(label); !encoding.isEmpty())
        return encoding;
    while (!label.isEmpty() && isAsciiSpace(label.front()))
        label = label.sliced(1);
    while (!label.isEmpty() && isAsciiSpace(label.back()))
        label.chop(1);
    if (label.compare("utf-32", Qt::CaseInsensitive) == 0 ||
        label.compare("utf-32le", Qt::CaseInsensitive) == 0 ||
        label.compare("utf-32be", Qt::CaseInsensitive) == 0)
        return "UTF-8";
    return {};
}

// The charset of a Content-Type given in a meta's content (already lowered): the first
// "charset" followed by "=" counts; a quoted label needs its closing quote, an unquoted one ends
// at a space or ";".
QByteArray encodingOfContent(QByteArrayView content) {
    for (qsizetype at = content.indexOf("charset"); at >= 0; at = content.indexOf("charset", at)) {
        at += 7;
        while (at < content.size() && isAsciiSpace(content[at]))
            ++at;
        if (at >= content.size() || content[at] != '=')
            continue;
        ++at;
        while (at < content.size() && isAsciiSpace(content[at]))
            ++at;
        if (at >= content.size())
            return {};
        if (const char quote = content[at]; quote == '"' || quote == '\'') {
            const qsizetype close = content.indexOf(quote, at + 1);
            return close < 0 ? QByteArray()
                             : encodingOfMetaLabel(content.sliced(at + 1, close - at - 1));
        }
        qsizetype end = at;
        while (end < content.size() && !isAsciiSpace(content[end]) && content[end] != ';')
            ++end;
        return encodingOfMetaLabel(content.sliced(at, end - at));
    }
    return {};
}

// An attribute's value, `at` just past its "="; false when the bytes run out first.
bool readValue(QByteArrayView bytes, qsizetype& at, QByteArray& value) {
    while (at < bytes.size() && isAsciiSpace(bytes[at]))
        ++at;
    if (at >= bytes.size())
        return false;
    if (const char quote = bytes[at]; quote == '"' || quote == '\'') {
        // A ">" or a whole tag inside the quotes is part of the value.
        for (++at; at < bytes.size(); ++at) {
            if (bytes[at] == quote) {
                ++at;
                return true;
            }
            value.append(asciiLower(bytes[at]));
        }
        return false;
    }
    // Unquoted, the value runs to a space or ">": a "/" just before the ">" belongs to it.
    for (; at < bytes.size(); ++at) {
        if (isAsciiSpace(bytes[at]) || bytes[at] == '>')
            return true;
        value.append(asciiLower(bytes[at]));
    }
    return false;
}

// The next attribute of a tag, leaving `at` just after it. Nothing when the tag ends first
// (`at` on its ">") or the bytes run out.
std::optional<Attribute> nextAttribute(QByteArrayView bytes, qsizetype& at) {
    while (at < bytes.size() && (isAsciiSpace(bytes[at]) || bytes[at] == '/'))
        ++at;
    if (at >= bytes.size() || bytes[at] == '>')
        return std::nullopt;
    Attribute attribute;
    // The first byte belongs to the name whatever it is, even "=".
    attribute.name.append(asciiLower(bytes[at++]));
    for (;; ++at) {
        if (at >= bytes.size())
            return std::nullopt;
        if (bytes[at] == '=')
            break;
        if (bytes[at] == '/' || bytes[at] == '>')
            return attribute;
        if (isAsciiSpace(bytes[at])) {
            while (at < bytes.size() && isAsciiSpace(bytes[at]))
                ++at;
            if (at >= bytes.size())
                return std::nullopt;
            if (bytes[at] != '=')
                return attribute; // a name alone; what follows is the next attribute
            break;
        }
        attribute.name.append(asciiLower(bytes[at]));
    }
    ++at;
    if (!readValue(bytes, at, attribute.value))
        return std::nullopt;
    return attribute;
}

// What the meta whose attributes start at `at` declares, leaving `at` on its ">"; empty when
// it declares no known encoding or is cut off.
QByteArray encodingOfMeta(QByteArrayView bytes, qsizetype& at) {
    QSet<QByteArray> names; // only the first attribute of each name counts
    bool isContentType = false;
    // A charset from "content" needs http-equiv="Content-Type"; one from "charset" does not,
    // and outranks "content" whatever their order.
    std::optional<bool> needsContentType;
    std::optional<QByteArray> encoding; // empty: a label that names nothing
    while (const std::optional<Attribute> attribute = nextAttribute(bytes, at)) {
        if (names.contains(attribute->name))
            continue;
        names.insert(attribute->name);
        if (attribute->name == "http-equiv") {
            isContentType = attribute->value == "content-type";
        } else if (attribute->name == "content") {
            QByteArray fromContent = encodingOfContent(attribute->value);
            if (!fromContent.isEmpty() && !encoding) {
                encoding = std::move(fromContent);
                needsContentType = true;
            }
        } else if (attribute->name == "charset") {
            encoding = encodingOfMetaLabel(attribute->value);
            needsContentType = false;
        }
    }
    if (at >= bytes.size() || !needsContentType.has_value() ||
        (*needsContentType && !isContentType) || encoding->isEmpty())
        return {};
    if (*encoding == "UTF-16LE" || *encoding == "UTF-16BE")
        return "UTF-8";
    if (*encoding == "x-user-defined")
        return "windows-1252";
    return *encoding;
}

bool startsTag(QByteArrayView rest) {
    return rest.size() > 1 && (isAsciiLetter(rest[1]) ||
                               (rest[1] == '/' && rest.size() > 2 && isAsciiLetter(rest[2])));
}

} // namespace

QByteArray encodingOfFirstMeta(QByteArrayView document) {
    const QByteArrayView bytes = document.first(std::min(document.size(), metaSearchReach));
    for (qsizetype at = 0; at < bytes.size(); ++at) {
        if (bytes[at] != '<')
            continue;
        const QByteArrayView rest = bytes.sliced(at);
        if (rest.startsWith("<!--")) {
            // The dashes of "<!--" may close it too: "<!-->" is a whole comment.
            const qsizetype close = bytes.indexOf("-->", at + 2);
            at = close < 0 ? bytes.size() : close + 2;
        } else if (rest.size() > 5 && rest.sliced(1, 4).compare("meta", Qt::CaseInsensitive) == 0 &&
                   (isAsciiSpace(rest[5]) || rest[5] == '/')) {
            at += 5;
            if (QByteArray encoding = encodingOfMeta(bytes, at); !encoding.isEmpty())
                return encoding;
        } else if (startsTag(rest)) {
            // Another tag's attributes are read, so that mark-up quoted in them stays a value.
            while (at < bytes.size() && !isAsciiSpace(bytes[at]) && bytes[at] != '>')
                ++at;
            while (nextAttribute(bytes, at)) {
            }
        } else if (rest.size() > 1 && (rest[1] == '!' || rest[1] == '/' || rest[1] == '?')) {
            const qsizetype close = bytes.indexOf('>', at + 1);
            at = close < 0 ? bytes.size() : close;
        }
    }
    return {};
}
