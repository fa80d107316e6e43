#include "platform/windowlayout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>

namespace {

int pixels(const QJsonValue& twips) {
    return qRound(twips.toDouble() / WindowLayout::TwipsPerPixel);
}

QFont storedFont(const QJsonObject& font) {
    QFont f(font.value("name").toString(QStringLiteral("Arial")));
    f.setPointSizeF(font.value("size").toDouble(8.25));
    f.setWeight(static_cast<QFont::Weight>(font.value("weight").toInt(400)));
    f.setItalic(font.value("italic").toBool(false));
    f.setUnderline(font.value("underline").toBool(false));
    f.setStrikeOut(font.value("strikethrough").toBool(false));
    return f;
}

// Colours are stored as 0x00BBGGRR.
QColor storedColour(const QJsonValue& value) {
    const auto bgr = static_cast<quint32>(value.toDouble());
    return {int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)};
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
