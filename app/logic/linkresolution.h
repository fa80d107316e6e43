#pragma once

#include <QString>

// A reference without the "..." and then the one "/" it may begin with. The "/" of a reference
// that began with it is dropped, so the reference stays inside the page's folder.
QString withoutLinkPrefix(const QString& reference);

// Whether a reference is an address already rather than a path relative to the page's folder:
// it contains "http://", "https://" or "www.", in any letter case, anywhere.
bool isAbsoluteAddress(const QString& reference);

// The address a reference found in a page leads to: the reference itself when it is an address
// already, otherwise baseUrl followed by the reference, after withoutLinkPrefix() either way.
// "./" and "../" are not treated: they are appended to baseUrl as they stand.
QString resolveLink(const QString& reference, const QString& baseUrl);
