// The folder address of any page address, and any reference resolved against it. Input: the
// address, NUL, the reference. A folder address ends in "/" and is the address or its start
// with a "/" put behind; a resolved link ends with the whole reference but for the "..." and
// the one "/" it may begin with.

#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "logic/baseurl.h"
#include "logic/linkresolution.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QStringList fields = fieldsOf(textFromBytes(data, size), 2);
    const QString& address = fields[0];
    const QString& reference = fields[1];

    const std::optional<QString> folder = folderAddress(address);
    if (folder) {
        FUZZ_CHECK(folder->endsWith(QLatin1Char('/')));
        FUZZ_CHECK(*folder == address + QLatin1Char('/') || address.startsWith(*folder));
    } else {
        FUZZ_CHECK(!address.contains(QLatin1Char('/')));
        FUZZ_CHECK(!address.endsWith(QLatin1String(".com"), Qt::CaseInsensitive));
    }

    const QString base = folder.value_or(QString());
    const QString stripped = withoutLinkPrefix(reference);
    FUZZ_CHECK(reference.endsWith(stripped) && stripped.size() >= reference.size() - 4);
    const QString link = resolveLink(reference, base);
    FUZZ_CHECK(link.endsWith(stripped));
    FUZZ_CHECK(link == stripped || link == base + stripped);
    FUZZ_CHECK(isAbsoluteAddress(stripped) ? link == stripped : link == base + stripped);
    return 0;
}
