#include "forms/propertyrecord.h"

#include <QJsonValue>

#include <cmath>

namespace {

bool isFont(const QVariant& v) {
    return v.metaType().id() == QMetaType::QFont;
}

bool isNumber(const QVariant& v) {
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

double pointSizeOf(const QFont& font) {
    return font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
}

bool sameFont(const QFont& a, const QFont& b) {
    // Sizes are kept to four decimals, so that is the precision of equality too.
    return a.family() == b.family() &&
           std::llround(pointSizeOf(a) * 10000) == std::llround(pointSizeOf(b) * 10000) &&
           a.weight() == b.weight() && a.italic() == b.italic() && a.underline() == b.underline() &&
           a.strikeOut() == b.strikeOut();
}

} // namespace

QVariant PropertyRecord::read(const QString& name, const QVariant& defaultValue) const {
    const int index = indexOf(name);
    return index < 0 ? defaultValue : m_entries.at(index).second;
}

void PropertyRecord::write(const QString& name, const QVariant& value,
                           const QVariant& defaultValue) {
    // A default value is dropped even when an earlier save had stored something else.
    if (sameValue(value, defaultValue))
        remove(name);
    else
        setValue(name, value);
}

bool PropertyRecord::contains(const QString& name) const {
    return indexOf(name) >= 0;
}

QVariant PropertyRecord::value(const QString& name) const {
    const int index = indexOf(name);
    return index < 0 ? QVariant() : m_entries.at(index).second;
}

void PropertyRecord::setValue(const QString& name, const QVariant& value) {
    const int index = indexOf(name);
    if (index < 0)
        m_entries.append({name.toLower(), value});
    else
        m_entries[index].second = value;
}

void PropertyRecord::remove(const QString& name) {
    const int index = indexOf(name);
    if (index >= 0)
        m_entries.removeAt(index);
}

QStringList PropertyRecord::keys() const {
    QStringList result;
    for (const auto& entry : m_entries)
        result.append(entry.first);
    return result;
}

PropertyRecord PropertyRecord::fromJson(const QJsonObject& json) {
    PropertyRecord record;
    for (auto it = json.begin(); it != json.end(); ++it) {
        const QJsonValue value = it.value();
        if (value.isObject()) {
            record.setValue(it.key(), fontFromJson(value.toObject()));
        } else if (value.isDouble()) {
            const double number = value.toDouble();
            // Colours go up to 0xFFFFFFFF, beyond int; whole numbers stay exact as 64-bit.
            if (std::floor(number) == number && std::fabs(number) < 9.0e15)
                record.setValue(it.key(), qint64(number));
            else
                record.setValue(it.key(), number);
        } else if (!value.isNull() && !value.isUndefined()) {
            record.setValue(it.key(), value.toVariant());
        }
    }
    return record;
}

QJsonObject PropertyRecord::toJson() const {
    QJsonObject json;
    for (const auto& [key, value] : m_entries) {
        if (isFont(value))
            json.insert(key, fontToJson(value.value<QFont>()));
        else if (value.metaType().id() == QMetaType::Bool)
            json.insert(key, value.toBool());
        else if (isNumber(value))
            json.insert(key, value.metaType().id() == QMetaType::Double ||
                                     value.metaType().id() == QMetaType::Float
                                 ? value.toDouble()
                                 : double(value.toLongLong()));
        else
            json.insert(key, value.toString());
    }
    return json;
}

QFont PropertyRecord::fontFromJson(const QJsonObject& json) {
    QFont font(json.value(QStringLiteral("name")).toString());
    const double size = json.value(QStringLiteral("size")).toDouble(8.25);
    if (size > 0)
        font.setPointSizeF(size);
    int weight = json.value(QStringLiteral("weight")).toInt(0);
    if (weight <= 0)
        weight = json.value(QStringLiteral("bold")).toBool() ? 700 : 400;
    font.setWeight(QFont::Weight(qBound(1, weight, 1000)));
    font.setItalic(json.value(QStringLiteral("italic")).toBool());
    font.setUnderline(json.value(QStringLiteral("underline")).toBool());
    font.setStrikeOut(json.value(QStringLiteral("strikethrough")).toBool());
    return font;
}

QJsonObject PropertyRecord::fontToJson(const QFont& font) {
    return QJsonObject{
        {QStringLiteral("name"), font.family()},
        {QStringLiteral("size"), pointSizeOf(font)},
        {QStringLiteral("weight"), font.weight()},
        // Fonts here carry no character set of their own; every stored font is Western.
        {QStringLiteral("charset"), 0},
        {QStringLiteral("bold"), font.weight() > 550},
        {QStringLiteral("italic"), font.italic()},
        {QStringLiteral("underline"), font.underline()},
        {QStringLiteral("strikethrough"), font.strikeOut()},
    };
}

bool PropertyRecord::sameValue(const QVariant& a, const QVariant& b) {
    if (isFont(a) || isFont(b))
        return isFont(a) && isFont(b) && sameFont(a.value<QFont>(), b.value<QFont>());
    if (isNumber(a) && isNumber(b)) {
        // A colour written as uint and its default given as int must still compare equal:
        // both are the same 32 bits.
        const auto bits = [](const QVariant& v) { return quint32(v.toLongLong()); };
        if (a.metaType().id() != QMetaType::Double && b.metaType().id() != QMetaType::Double)
            return bits(a) == bits(b);
        return a.toDouble() == b.toDouble();
    }
    return a == b;
}

bool PropertyRecord::operator==(const PropertyRecord& other) const {
    if (m_entries.size() != other.m_entries.size())
        return false;
    for (const auto& [key, value] : m_entries) {
        const int index = other.indexOf(key);
        if (index < 0 || !sameValue(value, other.m_entries.at(index).second))
            return false;
    }
    return true;
}

int PropertyRecord::indexOf(const QString& name) const {
    // Keys are kept in lower case, so a name is lowered the same way and then compared exactly:
    // a letter whose lower case is longer ("\u0130" becomes "i" and a combining dot) would not
    // find its own key by a comparison that ignores case letter by letter.
    const QString key = name.toLower();
    for (int i = 0; i < m_entries.size(); ++i) {
        if (m_entries.at(i).first == key)
            return i;
    }
    return -1;
}
