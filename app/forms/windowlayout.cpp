#include "forms/windowlayout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

#include <algorithm>

namespace {

// The largest length a widget takes (QWIDGETSIZE_MAX). A layout edited by hand may hold any
// number, and one past the range of int has no int to round to.
constexpr double lengthLimit = (1 << 24) - 1;

int pixels(const QJsonValue& twips) {
    return qRound(
        std::clamp(twips.toDouble() / WindowLayout::TwipsPerPixel, -lengthLimit, lengthLimit));
}

QFont storedFont(const QJsonObject& font) {
    QFont f(font.value("name").toString(QStringLiteral("Arial")));
    f.setPointSizeF(font.value("size").toDouble(8.25));
    // Weights run from 1 to 1000; an int outside the enum's range must not be cast to it.
    f.setWeight(static_cast<QFont::Weight>(qBound(1, font.value("weight").toInt(400), 1000)));
    f.setItalic(font.value("italic").toBool(false));
    f.setUnderline(font.value("underline").toBool(false));
    f.setStrikeOut(font.value("strikethrough").toBool(false));
    return f;
}

// Colours are stored as 0x00BBGGRR. A number no 32 bits can hold names no colour, and the
// control keeps its own.
std::optional<QColor> storedColour(const QJsonValue& value) {
    const double number = value.toDouble();
    if (!(number >= 0 && number <= 0xFFFFFFFF))
        return std::nullopt;
    const auto bgr = static_cast<quint32>(number);
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

WindowLayout::Control storedControl(const QJsonObject& stored) {
    WindowLayout::Control control;
    control.name = stored.value("name").toString();
    control.kind = stored.value("kind").toString();
    control.text = stored.value("text").toString();
    if (control.kind == "Control") {
        control.classId = stored.value("classId").toString();
        control.record = PropertyRecord::fromJson(stored.value("record").toObject());
    }
    control.geometry = QRect(pixels(stored.value("left")), pixels(stored.value("top")),
                             pixels(stored.value("width")), pixels(stored.value("height")));
    if (stored.contains("font"))
        control.font = storedFont(stored.value("font").toObject());
    if (stored.contains("foreColor"))
        control.foreColor = storedColour(stored.value("foreColor"));
    if (stored.contains("enabled"))
        control.enabled = stored.value("enabled").toBool(true);
    if (stored.contains("tabIndex"))
        control.tabIndex = stored.value("tabIndex").toInt();
    return control;
}

} // namespace

WindowLayout WindowLayout::fromJson(const QByteArray& json) {
    const QJsonObject form = QJsonDocument::fromJson(json).object();
    WindowLayout layout;
    layout.name = form.value("name").toString();
    layout.caption = form.value("caption").toString();
    layout.innerSize = QSize(pixels(form.value("clientWidth")), pixels(form.value("clientHeight")));
    const QString border = form.value("border").toString();
    layout.fixedBorder = border == "fixedSingle" || border == "fixedDialog";
    layout.minimizeBox = form.value("minimizeBox").toBool();
    layout.maximizeBox = form.value("maximizeBox").toBool();
    if (form.contains("font"))
        layout.font = storedFont(form.value("font").toObject());
    const QJsonArray controls = form.value("controls").toArray();
    for (const QJsonValue value : controls)
        layout.controls.append(storedControl(value.toObject()));
    return layout;
}
