#pragma once

#include <string>

// Whether the two paths name the same file (the same device and inode, so also through links
// and different spellings of the path). False when either cannot be examined.
bool sameFile(const std::string& a, const std::string& b);
