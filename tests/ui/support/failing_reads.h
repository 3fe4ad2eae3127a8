#pragma once

#include <string>

// Makes every further read of the file at path by this process fail, as a disk error part-way
// through would: each open descriptor of the file is swapped for one of a folder, whose reads
// end in EISDIR. Returns whether a descriptor was found and swapped.
bool failFurtherReads(const std::string& path);
