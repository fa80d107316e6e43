// The reading of any typed address: an accepted one is a valid http or https address with a
// host, and a refused one always says why.

#include "fuzzapplication.h"
#include "fuzzcheck.h"
#include "fuzzinput.h"
#include "logic/typedaddress.h"

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** argv) {
    startFuzzApplication((*argv)[0]);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString typed = textFromBytes(data, size);
    QString problem;
    const std::optional<QUrl> address = readTypedAddress(typed, &problem);
    if (!address) {
        FUZZ_CHECK(!problem.isEmpty());
        return 0;
    }
    FUZZ_CHECK(address->isValid());
    FUZZ_CHECK(address->scheme() == QLatin1String("http") ||
               address->scheme() == QLatin1String("https"));
    FUZZ_CHECK(!address->host().isEmpty());
    return 0;
}
