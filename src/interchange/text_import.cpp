#include "interchange/text_import.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <optional>

#include "dictionary/dictionary.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include "platform/regular_file.h"

namespace {

constexpr size_t kReadChunk = 1 << 16;
constexpr std::string_view kBlockEnd = "~~~";
constexpr char kTermMark = '@';
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Reads an import file line by line the way a C runtime's text mode does: CR LF reads as LF,
// and a line fills at most kImportLineBuffer - 1 bytes.
class TImportLineReader {
public:
    // Raises TError("Cannot open file %s").
    explicit TImportLineReader(const std::string& path);
    ~TImportLineReader();
    TImportLineReader(const TImportLineReader&) = delete;
    TImportLineReader& operator=(const TImportLineReader&) = delete;

    // Reads the next line (its LF included when it had one within the limit) into line.
    // Returns false, with line empty, at the end of the file. Raises TError("Stream read
    // error") when reading fails.
    bool readLine(std::string& line);

    uint64_t bytesRead() const { return consumed_; }
    uint64_t totalBytes() const { return total_; }
    // CRs read that no LF followed.
    int loneCarriageReturns() const { return loneCr_; }

private:
    // The next byte after CR LF → LF, or -1 at the end.
    int next();
    bool refill();

    int fd_ = -1;
    std::string buffer_;
    size_t at_ = 0;
    size_t end_ = 0;
    bool eof_ = false;
    uint64_t consumed_ = 0;
    uint64_t total_ = 0;
    int loneCr_ = 0;
};

// The length of the UTF-8 sequence that starts with the byte c (1 for a byte that starts none).
size_t sequenceLength(unsigned char c) {
    return c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
}

// Whether the file is well-formed UTF-8 holding something beyond ASCII. Read once through on
// its own, piece by piece; a file that cannot be read is not (the import then fails itself).
bool isUtf8File(const std::string& path) {
    const int fd = regular_file::openForReading(path);
    if (fd < 0)
        return false;
    std::string buffer(kReadChunk + 4, '\0');
    size_t carry = 0;
    bool beyond = false;
    bool valid = true;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data() + carry, kReadChunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            valid = false;
            break;
        }
        const std::string_view text(buffer.data(), carry + static_cast<size_t>(n));
        size_t i = 0;
        while (valid && i < text.size()) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c < 0x80) {
                ++i;
                continue;
            }
            // A character cut by the end of this piece is completed by the next one.
            if (n > 0 && i + sequenceLength(c) > text.size())
                break;
            valid = codepage::decodeUtf8(text, i).has_value();
            beyond = true;
        }
        if (!valid || n == 0)
            break;
        carry = text.size() - i;
        std::memmove(buffer.data(), buffer.data() + i, carry);
    }
    ::close(fd);
    return valid && beyond;
}

}  // namespace

TImportLineReader::TImportLineReader(const std::string& path) {
    // Only a regular file: a device or FIFO would be read without end or block.
    struct stat info {};
    fd_ = regular_file::openForReading(path, info);
    if (fd_ < 0)
        throw TError(formatMessage(error_text::kCannotOpenFile, path));
    total_ = info.st_size > 0 ? static_cast<uint64_t>(info.st_size) : 0;
    buffer_.resize(kReadChunk);
}

TImportLineReader::~TImportLineReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

bool TImportLineReader::refill() {
    if (eof_)
        return false;
    // Keep unread bytes (at most one held-back CR) at the front.
    const size_t left = end_ - at_;
    if (left > 0 && at_ > 0)
        std::memmove(buffer_.data(), buffer_.data() + at_, left);
    at_ = 0;
    end_ = left;
    for (;;) {
        const ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw TError(error_text::kStreamRead);
        }
        if (n == 0) {
            eof_ = true;
            return end_ > 0;
        }
        end_ += static_cast<size_t>(n);
        return true;
    }
}

int TImportLineReader::next() {
    if (at_ == end_ && !refill())
        return -1;
    const unsigned char c = static_cast<unsigned char>(buffer_[at_]);
    if (c == '\r') {
        // A CR is dropped only when an LF follows; the LF may lie in the next chunk.
        if (at_ + 1 == end_)
            refill();
        if (at_ + 1 < end_ && buffer_[at_ + 1] == '\n') {
            at_ += 2;
            consumed_ += 2;
            return '\n';
        }
        ++loneCr_;
    }
    ++at_;
    ++consumed_;
    return c;
}

bool TImportLineReader::readLine(std::string& line) {
    line.clear();
    while (line.size() < kImportLineBuffer - 1) {
        const int c = next();
        if (c < 0)
            break;
        line.push_back(static_cast<char>(c));
        if (c == '\n')
            break;
    }
    return !line.empty();
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 0x20)
        text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 0x20)
        text.remove_suffix(1);
    return text;
}

std::string_view trimImportLine(std::string_view line) {
    // A line is text up to its first zero byte, as a C string holds it; what follows the zero
    // byte would be cut off anyway when the dictionary is saved and loaded again.
    return trimBlanks(line.substr(0, line.find('\0')));
}

TImportResult importText(TDictionary& dictionary, const std::string& path,
                         const TImportProgressCallback& progress, TImportEncoding encoding) {
    TImportLineReader reader(path);
    TImportResult result;
    result.utf8 = encoding == TImportEncoding::Utf8 ||
                  (encoding == TImportEncoding::Detect && isUtf8File(path));
    std::optional<TCodePageFolder> folder;
    if (result.utf8)
        folder.emplace();
    // Blocks are gathered and added in one go at the end, which gives exactly the result of one
    // AddTerm per block but costs a sort instead of an insertion per term.
    TTermBatch batch;
    std::string line;
    std::string converted;
    std::string term;
    std::string article;
    bool first = true;
    bool termLineFound = false;
    // The next line's text, trimmed and in Windows-1251; false at the end of the file.
    std::string_view text;
    auto nextLine = [&] {
        if (!reader.readLine(line))
            return false;
        if (line.find('\0') != std::string::npos)
            ++result.zeroByteLines;
        if (first && result.utf8 && std::string_view(line).starts_with(kUtf8Bom))
            line.erase(0, kUtf8Bom.size());
        first = false;
        text = trimImportLine(line);
        if (result.utf8) {
            converted.clear();
            result.characters += folder->append(text, converted);
            text = trimBlanks(converted);
        }
        return true;
    };
    while (nextLine()) {
        if (text.empty() || text.front() != kTermMark)
            continue;
        termLineFound = true;
        term.assign(text.substr(1));
        article.clear();
        if (progress) {
            const TImportProgress state{reader.bytesRead(), reader.totalBytes(), term};
            if (!progress(state)) {
                result.cancelled = true;
                break;
            }
        }
        // The block runs to "~~~" or to the end of the file; a last line without a line break
        // still belongs to it.
        while (nextLine()) {
            if (text == kBlockEnd)
                break;
            article.append(text);
            article.push_back('\n');
        }
        ++result.blocks;
        if (!term.empty() && !article.empty())
            batch.add(term, article);
    }
    result.loneCrBreaks = reader.loneCarriageReturns();
    result.noTermLine = !termLineFound && reader.bytesRead() > 0;
    result.added = dictionary.addTerms(std::move(batch));
    return result;
}

std::vector<std::string> importNotes(const TImportResult& result, const std::string& path,
                                     size_t* warningsFrom) {
    std::vector<std::string> notes;
    if (result.utf8) {
        notes.push_back("Файл импорта " + path +
                        " прочитан как UTF-8 и переведён в Windows-1251 (символов заменено "
                        "близкими: " +
                        std::to_string(result.characters.folded) +
                        ", на \"?\": " + std::to_string(result.characters.replaced) + ")");
    }
    if (warningsFrom)
        *warningsFrom = notes.size();
    if (result.zeroByteLines > 0) {
        notes.push_back("Файл импорта " + path + ": строк с нулевым байтом " +
                        std::to_string(result.zeroByteLines) +
                        "; их текст взят только до нулевого байта");
    }
    if (result.loneCrBreaks > 0) {
        notes.push_back("Файл импорта " + path + ": строки разделены одним CR (" +
                        std::to_string(result.loneCrBreaks) +
                        " раз), а не LF или CR LF; такие строки читаются как одна");
    }
    if (result.noTermLine) {
        notes.push_back("Файл импорта " + path +
                        ": не найдено ни одной строки «@термин»; это не файл импорта?");
    }
    return notes;
}
