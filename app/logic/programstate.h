#pragma once
// The texts that the program's windows share for the whole run. They are plain shared
// variables on purpose: each window reads and writes them at the exact moments its handlers
// describe, and tests reset them between cases.

#include <QString>

namespace Program {

// Folder address of the loaded page, ending in "/" after a successful fetch; empty at start
// and after a cancelled fetch.
inline QString BaseURL;
// Address of the last successfully fetched page; set after the link scan, so that the scan
// still sees the page before it.
inline QString PageURL;
// The one file to be downloaded: its address, its name (after the last "/") and extension.
inline QString FileURL;
inline QString FileName;
inline QString FileExt;

inline void reset() {
    BaseURL.clear();
    PageURL.clear();
    FileURL.clear();
    FileName.clear();
    FileExt.clear();
}

} // namespace Program
