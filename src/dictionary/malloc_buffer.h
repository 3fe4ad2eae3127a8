#pragma once

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

// A buffer that came from malloc/realloc and is freed with free. The stream grows its content
// with realloc, and a loaded file's buffer passes from the stream to a dictionary's arena
// without a copy, so both hold their bytes this way.
struct TFreeDeleter {
    void operator()(char* p) const { std::free(p); }
};
using TMallocBuffer = std::unique_ptr<char, TFreeDeleter>;

// Asks for huge pages (2 MiB) under the whole 2 MiB-aligned part of a large block of memory
// that is about to be filled: one page fault then brings in 2 MiB instead of 4 KiB, which for a
// large dictionary's buffers costs less than the faults themselves. Only advice: where the
// system has no huge pages to give, nothing changes.
inline void adviseHugePages(void* data, size_t bytes) {
    constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
    const auto begin = (reinterpret_cast<uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<uintptr_t>(data) + bytes) & ~(kHugePage - 1);
    if (end > begin)
        (void)::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}
