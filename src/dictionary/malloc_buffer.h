#pragma once

#include <cstdlib>
#include <memory>

// A buffer that came from malloc/realloc and is freed with free. The stream grows its content
// with realloc, and a loaded file's buffer passes from the stream to a dictionary's arena
// without a copy, so both hold their bytes this way.
struct TFreeDeleter {
    void operator()(char* p) const { std::free(p); }
};
using TMallocBuffer = std::unique_ptr<char, TFreeDeleter>;
