#pragma once

#include <QString>

#include <optional>

// The folder address (BaseURL) of the page at address, always ending in "/", against which the
// page's relative references are resolved. nullopt when the address holds no "/" at all and
// does not end in ".com": there is no folder to take.
std::optional<QString> folderAddress(const QString& address);
