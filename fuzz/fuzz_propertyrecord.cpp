// A control's property record read from any JSON object: every key is kept once, in lower
// case, and read back in any case; written out and read again it is the same record.

#include "forms/propertyrecord.h"
#include "fuzzapplication.h"
#include "fuzzcheck.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace {

bool isAscii(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** argv) {
    startFuzzApplication((*argv)[0]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)))
            .object();
    const PropertyRecord record = PropertyRecord::fromJson(json);

    const QStringList keys = record.keys();
    FUZZ_CHECK(QSet<QString>(keys.begin(), keys.end()).size() == keys.size());
    FUZZ_CHECK(keys.size() <= json.size());
    bool onlyRecordValues = true;
    for (auto it = json.begin(); it != json.end(); ++it) {
        const bool stored = !it.value().isNull() && !it.value().isUndefined();
        FUZZ_CHECK(record.contains(it.key()) || !stored);
        // Letter case is a plain matter for the ASCII names controls give their properties.
        if (isAscii(it.key()))
            FUZZ_CHECK(record.contains(it.key().toUpper()) == record.contains(it.key()));
        // A list is no value a control stores, and has no form to be written out in.
        onlyRecordValues = onlyRecordValues && !it.value().isArray();
    }
    for (const QString& key : keys)
        FUZZ_CHECK(key == key.toLower());
    if (onlyRecordValues)
        FUZZ_CHECK(PropertyRecord::fromJson(record.toJson()) == record);
    return 0;
}
