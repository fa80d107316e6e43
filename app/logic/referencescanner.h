#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <functional>

// A reference found in a page is the text between an occurrence of a listed extension and the
// nearest "=" or double quote before it. A candidate this long or longer is running text, not a
// reference.
inline constexpr qsizetype kCandidateLengthLimit = 250;

// Called with the index of an extension's dot and the candidate that ends with that dot.
using ReferenceVisitor =
    std::function<void(const QString& extension, qsizetype dotIndex, QStringView candidate)>;

// The walk both scanners share. For each extension in list order, every occurrence of it in
// source (case-sensitive, overlapping occurrences included) from the first "=" of the whole text
// on is walked back to the nearest "=" or double quote; take gets the candidate in between,
// unless it is kCandidateLengthLimit characters or longer. A source without "=" yields nothing.
void walkReferences(const QString& source, const QStringList& extensions,
                    const ReferenceVisitor& take);

// Page links for the main window's link list: the accepted references of the seven page
// extensions, extension after extension, each in text order, each once, at the place of its
// first copy (a page of a million links to a few pages holds a few entries, not a million). The
// previous page is not included: the window puts that in front and removes repeats again.
QStringList scanPageLinks(const QString& source);

// File references for the file finder: addresses, each reference put behind baseUrl unless it
// is an address already, each address once, at the place of its first copy.
QStringList scanFileReferences(const QString& source, const QString& baseUrl);
