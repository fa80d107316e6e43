#pragma once

#include <QString>
#include <QUrl>

#include <optional>

// The address that "Open URL" may hand to the desktop: only a web page. An address without
// a scheme is taken as http; http and https pass; any other scheme, a local path or a file
// address gives nothing, since the desktop would open or run it with whatever handles it.
std::optional<QUrl> browserAddress(const QString& typed);
