#include "support/programbutton.h"

QJsonObject programButton(const QString& caption) {
    return QJsonObject{
        {"caption", caption},
        {"forecolor", 0x00FFFFFF},
        {"backcolor", 0},
        {"forecolormo", 0x00FFFFFF},
        {"fontinfo", QJsonObject{{"name", "Arial"}, {"size", 8.25}, {"weight", 400}}},
    };
}
