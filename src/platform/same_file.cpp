#include "platform/same_file.h"

#include "platform/file_stamp.h"

bool sameFile(const std::string& a, const std::string& b) {
    const std::optional<TFileStamp> first = file_stamp::ofPath(a);
    const std::optional<TFileStamp> second = file_stamp::ofPath(b);
    return first && second && first->sameFile(*second);
}
