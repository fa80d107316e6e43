#pragma once
// How the targets read libFuzzer's bytes as the texts the product works on.

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstring>

// A leading NUL byte marks the rest as UTF-16 in this machine's byte order, so that the text
// tools meet every unit a decoded page may hold, lone surrogates included; anything else is
// read as UTF-8, so that a real page is a seed as it stands.
inline QString textFromBytes(const std::uint8_t* data, std::size_t size) {
    if (size > 0 && data[0] == 0) {
        QString text(qsizetype((size - 1) / 2), Qt::Uninitialized);
        std::memcpy(static_cast<void*>(text.data()), data + 1, size_t(text.size()) * 2);
        return text;
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

// The text cut at its first count - 1 NUL characters; fields the text does not reach are
// empty, and the last one keeps any NUL after it.
inline QStringList fieldsOf(const QString& text, int count) {
    QStringList fields;
    qsizetype from = 0;
    for (int i = 0; i < count - 1; ++i) {
        const qsizetype nul = from <= text.size() ? text.indexOf(QChar(0), from) : -1;
        if (nul < 0) {
            fields.append(text.mid(from));
            from = text.size() + 1;
        } else {
            fields.append(text.mid(from, nul - from));
            from = nul + 1;
        }
    }
    fields.append(from <= text.size() ? text.mid(from) : QString());
    return fields;
}
