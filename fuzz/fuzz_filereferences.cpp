// The file-reference scanner on any page: every entry ends in the name of one of the eighteen
// file extensions as written (its dot goes with a reference of nothing but "..."), no dot yields
// more than one entry, and an entry that is not an address
// already lies in the page's folder.

#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "logic/referencescanner.h"

namespace {

const QString folder = QStringLiteral("http://127.0.0.1/dir/");

bool endsInAFileExtension(const QString& entry) {
    static const QStringList extensions{".jpg", ".gif", ".mid",   ".zip", ".exe", ".wav",
                                        ".txt", ".mp3", ".class", ".ico", ".vbx", ".ocx",
                                        ".bmp", ".hlp", ".java",  ".doc", ".bas", ".rar"};
    for (const QString& extension : extensions) {
        if (entry.endsWith(QStringView(extension).sliced(1), Qt::CaseSensitive))
            return true;
    }
    return false;
}

bool isAnAddressAlready(const QString& entry) {
    const QString lowered = entry.toLower();
    return lowered.contains(QLatin1String("http://")) ||
           lowered.contains(QLatin1String("https://")) || lowered.contains(QLatin1String("www."));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString page = textFromBytes(data, size);
    const QStringList entries = scanFileReferences(page, folder);

    // No file extension is the start of another, so a dot begins at most one occurrence.
    FUZZ_CHECK(entries.size() <= page.count(QLatin1Char('.')));
    for (const QString& entry : entries) {
        FUZZ_CHECK(endsInAFileExtension(entry));
        FUZZ_CHECK(entry.startsWith(folder) || isAnAddressAlready(entry));
    }
    return 0;
}
