#pragma once
// How a download gets its address and its file's name from a list entry, and which names may
// be written at all. Text rules only: nothing here touches the network or the disk.

#include <QString>

// The name of the file an address names: the text after its last "/", all of it without one.
QString fileNameOf(const QString& address);

// The extension of a file name: from its last "." to the end, dot included (".gz" for
// "a.tar.gz"); empty when the name has no dot, so that no stray text is ever taken for one.
QString fileExtOf(const QString& name);

// The address "D/L Checked" fetches for an entry: without its surrounding spaces, then without
// a leading "..." and then one leading "/".
QString checkedEntryAddress(const QString& entry);

// The name a typed name is saved under: the typed name followed by the extension when the name
// does not contain the extension anywhere (letter case ignored); unchanged otherwise, and always
// when there is no extension.
QString finalName(const QString& typed, const QString& extension);

// Why a name cannot be written into its folder, or empty when it can: an empty name, "." and
// "..", a name holding a path separator (it would leave the folder), one holding a control
// character and one holding an invisible mark that changes how it reads are all refused.
QString refusedNameReason(const QString& name);

// The question "D/L Checked" asks before it starts, naming the folder it writes into: the
// program's own folder, or else the user's download folder.
QString checkedDownloadQuestion(const QString& folder, bool programFolder = true);
