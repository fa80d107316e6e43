#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The one reading of an address the user typed, shared by the fetch and by "Open URL", so that
// the two never disagree about what an address is. Surrounding white space is ignored. Without a
// scheme the address is taken as http; a colon followed by digits only, or by nothing, up to the
// path ("localhost:8080/x", "example.com:") is a port, not a scheme. Only http and https pass.
// Characters a browser also accepts in a typed address (a space, "|", "{", a stray "%") are
// encoded rather than refused. A refused address gets nothing, and *problem says why.
std::optional<QUrl> readTypedAddress(const QString& typed, QString* problem = nullptr);
