#pragma once
// A window's stored layout (app/forms/<name>.json) read into plain values: lengths already in
// pixels, fonts and colours made, each registered control's property record taken in. Reading
// needs no window, so a layout can be checked on its own; FormLoader builds the window from it.

#include "forms/propertyrecord.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

struct WindowLayout {
    static constexpr int TwipsPerPixel = 15;

    // One control in stored order, which is also the stacking order. What the layout leaves out
    // stays empty, so that the window's own settings apply.
    struct Control {
        QString name;
        QString kind;
        QString text;
        // The class name and stored record of a registered control ("Control").
        QString classId;
        PropertyRecord record;
        QRect geometry;
        std::optional<QFont> font;
        std::optional<QColor> foreColor;
        std::optional<bool> enabled;
        std::optional<int> tabIndex;
    };

    QString name;
    QString caption;
    QSize innerSize;
    // A fixed frame has only the title bar buttons the layout asks for.
    bool fixedBorder = false;
    bool minimizeBox = false;
    bool maximizeBox = false;
    std::optional<QFont> font;
    QList<Control> controls;

    // Whatever the bytes hold: a value of the wrong type reads as its default, text that is not
    // JSON as an empty layout.
    static WindowLayout fromJson(const QByteArray& json);
};
