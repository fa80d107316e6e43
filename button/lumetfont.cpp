#include "lumetfont.h"

#include <QVariant>

#include <cmath>

namespace {

qint64 toFixedPoint(double points) {
    return std::llround(points * 10000.0);
}

} // namespace

LumetFont::LumetFont(const QFont& font, QObject* parent)
    : QObject(parent) {
    assign(font);
}

// Bold is a view of the weight, so the two never disagree.
bool LumetFont::bold() const {
    return m_weight > 550;
}

void LumetFont::setBold(bool bold) {
    if (this->bold() == bold)
        return;
    m_weight = bold ? 700 : 400;
    emit fontChanged(QStringLiteral("Bold"));
}

void LumetFont::setCharset(short charset) {
    if (m_charset == charset)
        return;
    m_charset = charset;
    emit fontChanged(QStringLiteral("Charset"));
}

void LumetFont::setItalic(bool italic) {
    if (m_italic == italic)
        return;
    m_italic = italic;
    emit fontChanged(QStringLiteral("Italic"));
}

void LumetFont::setName(const QString& name) {
    if (m_name == name)
        return;
    m_name = name;
    emit fontChanged(QStringLiteral("Name"));
}

double LumetFont::size() const {
    return double(m_sizeTenThousandths) / 10000.0;
}

void LumetFont::setSize(double points) {
    const qint64 fixed = toFixedPoint(points);
    if (m_sizeTenThousandths == fixed)
        return;
    m_sizeTenThousandths = fixed;
    emit fontChanged(QStringLiteral("Size"));
}

void LumetFont::setStrikethrough(bool strikethrough) {
    if (m_strikethrough == strikethrough)
        return;
    m_strikethrough = strikethrough;
    emit fontChanged(QStringLiteral("Strikethrough"));
}

void LumetFont::setUnderline(bool underline) {
    if (m_underline == underline)
        return;
    m_underline = underline;
    emit fontChanged(QStringLiteral("Underline"));
}

void LumetFont::setWeight(short weight) {
    if (m_weight == weight)
        return;
    m_weight = weight;
    emit fontChanged(QStringLiteral("Weight"));
}

void LumetFont::copyFrom(const QObject& source) {
    // Read every attribute first: the source may be this very object.
    const bool sourceBold = source.property("Bold").toBool();
    const short sourceCharset = short(source.property("Charset").toInt());
    const bool sourceItalic = source.property("Italic").toBool();
    const QString sourceName = source.property("Name").toString();
    const double sourceSize = source.property("Size").toDouble();
    const bool sourceStrikethrough = source.property("Strikethrough").toBool();
    const bool sourceUnderline = source.property("Underline").toBool();
    const short sourceWeight = short(source.property("Weight").toInt());

    setBold(sourceBold);
    setCharset(sourceCharset);
    setItalic(sourceItalic);
    setName(sourceName);
    setSize(sourceSize);
    setStrikethrough(sourceStrikethrough);
    setUnderline(sourceUnderline);
    setWeight(sourceWeight);
}

void LumetFont::assign(const QFont& font) {
    m_name = font.family();
    m_sizeTenThousandths = toFixedPoint(pointSize(font));
    m_weight = short(font.weight());
    m_italic = font.italic();
    m_underline = font.underline();
    m_strikethrough = font.strikeOut();
}

double LumetFont::pointSize(const QFont& font) {
    if (font.pointSizeF() > 0)
        return font.pointSizeF();
    // A font given in pixels: 96 dots per inch is the platform's logical resolution.
    return font.pixelSize() * 72.0 / 96.0;
}

QFont LumetFont::toQFont() const {
    QFont font(m_name);
    if (m_sizeTenThousandths > 0)
        font.setPointSizeF(size());
    font.setWeight(QFont::Weight(qBound(1, int(m_weight), 1000)));
    font.setItalic(m_italic);
    font.setUnderline(m_underline);
    font.setStrikeOut(m_strikethrough);
    return font;
}
