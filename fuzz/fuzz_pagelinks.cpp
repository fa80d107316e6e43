// The page-link scanner on any page: every link ends in one of the seven page extensions as
// written, and no dot yields more than one link.

#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "logic/referencescanner.h"

namespace {

bool endsInAPageExtension(const QString& link) {
    static const QStringList extensions{".htm", ".html", ".shtml", ".js", ".css", ".cgi", ".pl"};
    for (const QString& extension : extensions) {
        if (link.endsWith(extension, Qt::CaseSensitive))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString page = textFromBytes(data, size);
    const QStringList links = scanPageLinks(page);

    // ".htm" and ".html" share their dot, but only one of them takes it.
    FUZZ_CHECK(links.size() <= page.count(QLatin1Char('.')));
    for (const QString& link : links) {
        FUZZ_CHECK(endsInAPageExtension(link));
        // A link comes from a candidate shorter than the limit, extension's dot included.
        FUZZ_CHECK(link.size() < kCandidateLengthLimit + 5);
    }
    return 0;
}
