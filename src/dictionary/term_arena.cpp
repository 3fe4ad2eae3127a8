#include "dictionary/term_arena.h"

#include <climits>
#include <cstring>

#include "platform/error.h"

namespace {

TMallocBuffer allocate(size_t size) {
    TMallocBuffer buffer(static_cast<char*>(std::malloc(size)));
    if (!buffer)
        throw TError(error_text::kOutOfMemory);
    return buffer;
}

}  // namespace

const char* TTermArena::store(std::string_view text) {
    if (text.empty())
        return nullptr;
    if (text.size() > file_format::kMaxRecordLength)
        throw TError(error_text::kOutOfMemory);
    if (text.size() > kOwnBufferAbove) {
        TMallocBuffer own = allocate(text.size());
        std::memcpy(own.get(), text.data(), text.size());
        buffers_.reserve(buffers_.size() + 1);
        const char* at = own.get();
        buffers_.push_back(std::move(own));
        bytes_ += text.size();
        return at;
    }
    if (text.size() > freeLeft_) {
        TMallocBuffer block = allocate(kBlockSize);
        buffers_.reserve(buffers_.size() + 1);
        free_ = block.get();
        freeLeft_ = kBlockSize;
        buffers_.push_back(std::move(block));
        bytes_ += kBlockSize;
    }
    char* at = free_;
    std::memcpy(at, text.data(), text.size());
    free_ += text.size();
    freeLeft_ -= text.size();
    return at;
}

void TTermArena::adopt(TMallocBuffer buffer, size_t size) {
    if (!buffer)
        return;
    buffers_.reserve(buffers_.size() + 1);
    buffers_.push_back(std::move(buffer));
    bytes_ += size;
}

void TTermArena::adopt(TTermArena&& other) {
    buffers_.reserve(buffers_.size() + other.buffers_.size());
    for (auto& buffer : other.buffers_)
        buffers_.push_back(std::move(buffer));
    bytes_ += other.bytes_;
    // The other arena's partly used block is now ours, but new texts keep going into our own
    // current block; the little that is left in the other is simply not used.
    other.buffers_.clear();
    other.free_ = nullptr;
    other.freeLeft_ = 0;
    other.bytes_ = 0;
}

void TTermArena::clear() {
    buffers_.clear();
    buffers_.shrink_to_fit();
    free_ = nullptr;
    freeLeft_ = 0;
    bytes_ = 0;
}
