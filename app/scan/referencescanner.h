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
// unless it is kCandidateLengthLimit characters or longer. letEventsRun gets a turn after every
// occurrence. A source without "=" yields nothing.
void walkReferences(const QString& source, const QStringList& extensions,
                    const ReferenceVisitor& take, const std::function<void()>& letEventsRun = {});

// Page links (main window): entries in list order, BEFORE the previous-page entry is put in
// front and BEFORE duplicate removal (the window does: previous page, then these, then dedupe).
QStringList scanPageLinks(const QString& source, const std::function<void()>& letEventsRun = {});

// File references (file finder): absolute addresses, resolved against baseUrl, not deduplicated.
QStringList scanFileReferences(const QString& source, const QString& baseUrl,
                               const std::function<void()>& letEventsRun = {});
