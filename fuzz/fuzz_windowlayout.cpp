// A window layout read from any bytes, as the form loader reads it before it builds the window:
// every stored control is there in stored order, and what is made of the values is something a
// window can use (valid colours, font weights Qt accepts).

#include "forms/windowlayout.h"
#include "fuzzapplication.h"
#include "fuzzcheck.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

bool isUsable(const QFont& font) {
    return font.weight() >= 1 && font.weight() <= 1000;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** argv) {
    startFuzzApplication((*argv)[0]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray json(reinterpret_cast<const char*>(data), qsizetype(size));
    const WindowLayout layout = WindowLayout::fromJson(json);

    const QJsonArray stored =
        QJsonDocument::fromJson(json).object().value(QLatin1String("controls")).toArray();
    FUZZ_CHECK(layout.controls.size() == stored.size());
    FUZZ_CHECK(!layout.font || isUsable(*layout.font));
    for (qsizetype i = 0; i < layout.controls.size(); ++i) {
        const WindowLayout::Control& control = layout.controls[i];
        FUZZ_CHECK(control.name == stored[i].toObject().value(QLatin1String("name")).toString());
        FUZZ_CHECK(!control.font || isUsable(*control.font));
        FUZZ_CHECK(!control.foreColor || control.foreColor->isValid());
    }
    return 0;
}
