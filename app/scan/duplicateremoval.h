#pragma once

#include <QStringList>

// The entries without repeats: an entry exactly equal (case-sensitive) to an earlier one is
// left out, so the first copy of each text stays and the order is kept. Linear in the number of
// entries, so a page with a hundred thousand links does not stall the window.
QStringList withoutDuplicates(const QStringList& entries);
