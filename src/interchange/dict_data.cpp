#include "interchange/dict_data.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/error.h"
#include "platform/regular_file.h"

namespace {

constexpr unsigned char kGzipId1 = 0x1F;
constexpr unsigned char kGzipId2 = 0x8B;
constexpr unsigned char kDeflate = 8;
constexpr unsigned char kFlagHeaderCrc = 0x02;
constexpr unsigned char kFlagExtra = 0x04;
constexpr unsigned char kFlagName = 0x08;
constexpr unsigned char kFlagComment = 0x10;
constexpr size_t kFixedHeaderSize = 1 + 1 + 1 + 1 + 4 + 1 + 1;
constexpr size_t kSubfieldHeaderSize = 1 + 1 + 2;
constexpr size_t kChunkTableHeaderSize = 2 + 2 + 2;  // VER, CHLEN, CHCNT
constexpr size_t kTrailerSize = 4 + 4;               // CRC32, ISIZE
constexpr uint16_t kChunkTableVersion = 1;
constexpr uint64_t kFinalBlockSize = 2;
// Deflate cannot expand data by more than about this factor; a size claimed beyond it is not
// believed when room is set aside.
constexpr uint64_t kMaxDeflateRatio = 1032;
constexpr uint64_t kHintedRatio = 16;
constexpr size_t kInflateStep = size_t{1} << 20;
// The most a dictzip header can take: its fixed part, the extra field and a file name and
// comment of reasonable length.
constexpr uint64_t kMaxHeaderSize = kFixedHeaderSize + 2 + 0xFFFF + 2 * 4096 + 2;

uint16_t readLe16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t readLe32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void appendLe16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void appendLe32(std::string& out, uint32_t v) {
    appendLe16(out, v & 0xFFFF);
    appendLe16(out, v >> 16);
}

// Raw deflate data inflated into out (appended), at most limit bytes. Returns false when the
// data is damaged.
bool inflateRaw(const unsigned char* data, size_t size, size_t limit, std::string& out) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return false;
    const size_t base = out.size();
    out.resize(base + limit);
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = reinterpret_cast<Bytef*>(out.data() + base);
    z.avail_out = static_cast<uInt>(limit);
    int rc = Z_OK;
    while (rc == Z_OK && z.avail_in > 0 && z.avail_out > 0)
        rc = inflate(&z, Z_SYNC_FLUSH);
    const bool ok = rc == Z_OK || rc == Z_STREAM_END || (rc == Z_BUF_ERROR && z.avail_in == 0);
    out.resize(base + (limit - z.avail_out));
    inflateEnd(&z);
    return ok;
}

}  // namespace

bool readDictzipTable(std::string_view head, uint64_t fileSize, uint32_t isize,
                      TChunkTable& table) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
    const size_t headSize = head.size();
    if (headSize < kFixedHeaderSize + 2 || fileSize < kFixedHeaderSize + kTrailerSize ||
        bytes[2] != kDeflate)
        return false;
    const unsigned char flags = bytes[3];
    if (!(flags & kFlagExtra))
        return false;
    size_t pos = kFixedHeaderSize;
    const size_t extraLength = readLe16(bytes + pos);
    pos += 2;
    if (extraLength > headSize - pos)
        return false;
    const size_t extraEnd = pos + extraLength;

    uint32_t chunkLength = 0;
    std::vector<uint16_t> sizes;
    bool found = false;
    while (!found && extraEnd - pos >= kSubfieldHeaderSize) {
        const unsigned char si1 = bytes[pos];
        const unsigned char si2 = bytes[pos + 1];
        const size_t length = readLe16(bytes + pos + 2);
        pos += kSubfieldHeaderSize;
        if (length > extraEnd - pos)
            return false;
        if (si1 == 'R' && si2 == 'A' && length >= kChunkTableHeaderSize) {
            const uint16_t version = readLe16(bytes + pos);
            chunkLength = readLe16(bytes + pos + 2);
            const size_t count = readLe16(bytes + pos + 4);
            if (version != kChunkTableVersion || chunkLength == 0 ||
                length < kChunkTableHeaderSize + 2 * count)
                return false;
            sizes.resize(count);
            for (size_t i = 0; i < count; ++i)
                sizes[i] = readLe16(bytes + pos + kChunkTableHeaderSize + 2 * i);
            found = true;
        }
        pos += length;
    }
    if (!found)
        return false;
    pos = extraEnd;
    for (unsigned char flag : {kFlagName, kFlagComment}) {
        if (flags & flag) {
            const void* end =
                pos < headSize ? std::memchr(bytes + pos, 0, headSize - pos) : nullptr;
            if (!end)
                return false;
            pos = static_cast<size_t>(static_cast<const unsigned char*>(end) - bytes) + 1;
        }
    }
    if (flags & kFlagHeaderCrc)
        pos += 2;
    if (pos > fileSize - kTrailerSize)
        return false;

    std::vector<uint64_t> starts(sizes.size() + 1);
    uint64_t at = pos;
    for (size_t i = 0; i < sizes.size(); ++i) {
        starts[i] = at;
        at += sizes[i];
    }
    starts[sizes.size()] = at;
    const uint64_t total = isize;
    const uint64_t count = sizes.size();
    // A chunk table may not promise more than its chunks could inflate to: a damaged or made-up
    // size would otherwise be believed when readers set room aside for the content.
    // dictzip ends its stream with an empty final block after the last chunk, outside the
    // table: two bytes.
    const bool fits =
        at <= fileSize - kTrailerSize && fileSize - kTrailerSize - at <= kFinalBlockSize &&
        total <= (at - pos) * kMaxDeflateRatio &&
        (count == 0 ? total == 0
                    : total > (count - 1) * chunkLength && total <= count * chunkLength);
    if (!fits)
        return false;
    table.chunkLength = chunkLength;
    table.starts = std::move(starts);
    table.size = total;
    return true;
}

TDictData::TDictData(const std::string& path, uint64_t needed, uint64_t named) : path_(path) {
    file_.LoadFromFile(path);
    const auto* bytes = reinterpret_cast<const unsigned char*>(file_.data());
    const bool gzip = file_.size() >= 2 && bytes[0] == kGzipId1 && bytes[1] == kGzipId2;
    if (!gzip) {
        content_ = std::string_view(file_.data(), file_.size());
        size_ = file_.size();
        return;
    }
    if (readChunkTable())
        return;
    if (needed != kWhole && named != kWhole &&
        needed > std::min(named, kMaxSize) * kGapFactor + kGapMargin) {
        fail("сжат gzip без таблицы фрагментов (не dictzip), а индекс указывает на данные до " +
             std::to_string(needed) + " байт при статьях всего на " + std::to_string(named) +
             " байт: чтобы дойти до них, пришлось бы распаковать всё, что лежит перед ними "
             "(распакуйте файл или сожмите его dictzip)");
    }
    inflateWhole(needed);
}

void TDictData::fail(const std::string& what) const {
    throw TError(path_ + ": " + what);
}

// Reads the dictzip header; returns false (nothing set) when the file is plain gzip or its
// chunk table does not agree with the file.
bool TDictData::readChunkTable() {
    const auto* bytes = reinterpret_cast<const unsigned char*>(file_.data());
    const size_t fileSize = file_.size();
    const uint32_t isize = fileSize >= kTrailerSize ? readLe32(bytes + fileSize - 4) : 0;
    TChunkTable table;
    if (!readDictzipTable(std::string_view(file_.data(), fileSize), fileSize, isize, table))
        return false;
    chunked_ = true;
    chunkLength_ = table.chunkLength;
    chunkStart_ = std::move(table.starts);
    chunks_.assign(chunkStart_.size() - 1, std::string());
    size_ = table.size;
    return true;
}

void TDictData::inflateWhole(uint64_t needed) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(file_.data());
    const size_t fileSize = file_.size();
    // The trailer's size is only a hint for setting room aside, believed up to the ratio that
    // text commonly compresses by; beyond it the content grows as it is inflated.
    const uint64_t claimed = fileSize >= kTrailerSize ? readLe32(bytes + fileSize - 4) : 0;
    inflated_.reserve(static_cast<size_t>(
        std::min({claimed, uint64_t{fileSize} * kHintedRatio, kMaxSize, needed})));

    z_stream z{};
    if (inflateInit2(&z, MAX_WBITS + 16) != Z_OK)
        fail("не удалось начать распаковку");
    struct TEnder {
        z_stream* z;
        ~TEnder() { inflateEnd(z); }
    } ender{&z};
    z.next_in = const_cast<Bytef*>(bytes);
    z.avail_in = static_cast<uInt>(std::min<size_t>(fileSize, UINT32_MAX));
    size_t consumed = 0;
    for (;;) {
        if (inflated_.size() >= needed)
            break;
        if (inflated_.size() >= kMaxSize)
            fail("распакованные данные больше 2 ГиБ");
        const size_t produced = inflated_.size();
        const size_t step =
            static_cast<size_t>(std::min<uint64_t>(kInflateStep, needed - produced));
        inflated_.resize(produced + step);
        z.next_out = reinterpret_cast<Bytef*>(inflated_.data() + produced);
        z.avail_out = static_cast<uInt>(step);
        const uInt before = z.avail_in;
        const int rc = inflate(&z, Z_NO_FLUSH);
        inflated_.resize(produced + (step - z.avail_out));
        consumed += before - z.avail_in;
        if (z.avail_in == 0 && consumed < fileSize) {
            z.avail_in = static_cast<uInt>(std::min<size_t>(fileSize - consumed, UINT32_MAX));
        }
        if (rc == Z_STREAM_END) {
            // Another gzip member may follow; trailing zero padding ends the data.
            if (consumed + 2 <= fileSize && bytes[consumed] == kGzipId1 &&
                bytes[consumed + 1] == kGzipId2) {
                inflateReset(&z);
                continue;
            }
            break;
        }
        if (rc == Z_BUF_ERROR && consumed >= fileSize)
            fail("сжатые данные обрываются (файл обрезан)");
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            fail("сжатые данные повреждены");
    }
    content_ = inflated_;
    size_ = inflated_.size();
}

const std::string& TDictData::chunk(size_t index) {
    std::string& out = chunks_[index];
    if (!out.empty())
        return out;
    const uint64_t expected =
        std::min<uint64_t>(chunkLength_, size_ - uint64_t{index} * chunkLength_);
    const auto* bytes = reinterpret_cast<const unsigned char*>(file_.data());
    const uint64_t start = chunkStart_[index];
    if (!inflateRaw(bytes + start, chunkStart_[index + 1] - start, expected, out) ||
        out.size() != expected) {
        out.clear();
        throw TDamagedData(path_ + ": сжатый фрагмент " + std::to_string(index + 1) + " из " +
                           std::to_string(chunks_.size()) + " повреждён");
    }
    return out;
}

std::string_view TDictData::read(uint64_t offset, uint64_t length) {
    if (offset > size_ || length > size_ - offset) {
        fail("статья (смещение " + std::to_string(offset) + ", длина " + std::to_string(length) +
             ") лежит за концом данных (" + std::to_string(size_) + " байт)");
    }
    if (!chunked_)
        return content_.substr(offset, length);
    if (length == 0)
        return {};
    const size_t first = offset / chunkLength_;
    const size_t last = (offset + length - 1) / chunkLength_;
    const size_t within = offset - uint64_t{first} * chunkLength_;
    if (first == last)
        return std::string_view(chunk(first)).substr(within, length);
    spanning_.clear();
    spanning_.append(std::string_view(chunk(first)).substr(within));
    for (size_t i = first + 1; i <= last; ++i) {
        const std::string& part = chunk(i);
        spanning_.append(part, 0, std::min<uint64_t>(part.size(), length - spanning_.size()));
    }
    return spanning_;
}

TDataReader::TDataReader(const std::string& path) : path_(path) {
    struct stat info {};
    fd_ = regular_file::openForReading(path, info);
    if (fd_ < 0)
        throw TError(formatMessage(error_text::kCannotOpenFile, path));
    fileSize_ = static_cast<uint64_t>(info.st_size);
    std::string head;
    readRaw(0, static_cast<size_t>(std::min<uint64_t>(fileSize_, kMaxHeaderSize)), head);
    const auto* bytes = reinterpret_cast<const unsigned char*>(head.data());
    const bool gzip = head.size() >= 2 && bytes[0] == kGzipId1 && bytes[1] == kGzipId2;
    if (!gzip) {
        size_ = fileSize_;
        return;
    }
    std::string trailer;
    if (fileSize_ >= kTrailerSize)
        readRaw(fileSize_ - 4, 4, trailer);
    const uint32_t isize =
        trailer.size() == 4 ? readLe32(reinterpret_cast<const unsigned char*>(trailer.data())) : 0;
    if (readDictzipTable(head, fileSize_, isize, table_)) {
        chunked_ = true;
        size_ = table_.size;
        return;
    }
    // Plain gzip is reached only by inflating all that lies before a range: a small one is
    // inflated once, a large one would cost its whole content in memory.
    const std::string refused =
        path + ": сжат gzip без таблицы фрагментов (не dictzip) и распаковывается больше чем в " +
        std::to_string(kMaxInflated >> 20) +
        " МиБ — на месте такой файл не прочитать (распакуйте его или сожмите dictzip)";
    if (fileSize_ > kMaxInflated)
        throw TError(refused);
    {
        TDictData whole(path, kMaxInflated + 1);
        if (whole.size() > kMaxInflated)
            throw TError(refused);
        inflated_.assign(whole.all());
    }
    size_ = inflated_.size();
    ::close(fd_);
    fd_ = -1;
}

TDataReader::~TDataReader() {
    if (fd_ >= 0)
        ::close(fd_);
}

void TDataReader::readRaw(uint64_t offset, size_t length, std::string& out) const {
    out.resize(length);
    size_t done = 0;
    while (done < length) {
        const ssize_t n =
            ::pread(fd_, out.data() + done, length - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw TError(path_ + ": файл не читается с байта " + std::to_string(offset + done) +
                         " (изменён или обрезан?)");
        done += static_cast<size_t>(n);
    }
}

const std::string& TDataReader::chunk(size_t index) const {
    TCachedChunk* slot = nullptr;
    for (TCachedChunk& kept : cached_) {
        if (kept.index == index) {
            kept.used = ++uses_;
            return kept.text;
        }
        if (!slot || kept.used < slot->used)
            slot = &kept;
    }
    if (cached_.size() < kCachedChunks)
        slot = &cached_.emplace_back();
    slot->index = SIZE_MAX;
    const uint64_t expected =
        std::min<uint64_t>(table_.chunkLength, size_ - uint64_t{index} * table_.chunkLength);
    const uint64_t start = table_.starts[index];
    readRaw(start, static_cast<size_t>(table_.starts[index + 1] - start), compressed_);
    slot->text.clear();
    ++inflatedChunks_;
    if (!inflateRaw(reinterpret_cast<const unsigned char*>(compressed_.data()), compressed_.size(),
                    expected, slot->text) ||
        slot->text.size() != expected) {
        throw TDamagedData(path_ + ": сжатый фрагмент " + std::to_string(index + 1) + " из " +
                           std::to_string(table_.starts.size() - 1) + " повреждён");
    }
    slot->index = index;
    slot->used = ++uses_;
    return slot->text;
}

void TDataReader::forgetChunks() {
    const std::lock_guard lock(mutex_);
    std::vector<TCachedChunk>().swap(cached_);
    std::string().swap(compressed_);
}

uint64_t TDataReader::inflatedChunks() const {
    const std::lock_guard lock(mutex_);
    return inflatedChunks_;
}

std::string TDataReader::read(uint64_t offset, uint64_t length) const {
    if (offset > size_ || length > size_ - offset) {
        throw TError(path_ + ": статья (смещение " + std::to_string(offset) + ", длина " +
                     std::to_string(length) + ") лежит за концом данных (" + std::to_string(size_) +
                     " байт)");
    }
    if (length > TDictData::kMaxArticle) {
        throw TError(path_ + ": статья (смещение " + std::to_string(offset) + ") длиннее " +
                     std::to_string(TDictData::kMaxArticle >> 20) + " МиБ");
    }
    std::string out;
    if (length == 0)
        return out;
    if (fd_ < 0)
        return inflated_.substr(static_cast<size_t>(offset), static_cast<size_t>(length));
    const std::lock_guard lock(mutex_);
    if (!chunked_) {
        readRaw(offset, static_cast<size_t>(length), out);
        return out;
    }
    out.reserve(static_cast<size_t>(length));
    for (uint64_t at = offset; at < offset + length;) {
        const size_t index = static_cast<size_t>(at / table_.chunkLength);
        const std::string& text = chunk(index);
        const uint64_t within = at - uint64_t{index} * table_.chunkLength;
        const size_t n =
            static_cast<size_t>(std::min<uint64_t>(text.size() - within, offset + length - at));
        out.append(text, static_cast<size_t>(within), n);
        at += n;
    }
    return out;
}

std::string makeDictzip(std::string_view data, uint32_t chunkLength) {
    chunkLength = std::clamp<uint32_t>(chunkLength, 1, 0xFFFF);
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string body;
    std::vector<uint32_t> sizes;
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(chunkLength, data.size() - at);
        const bool last = at + n == data.size();
        std::string piece(deflateBound(&z, static_cast<uLong>(n)) + 64, '\0');
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + at));
        z.avail_in = static_cast<uInt>(n);
        z.next_out = reinterpret_cast<Bytef*>(piece.data());
        z.avail_out = static_cast<uInt>(piece.size());
        deflate(&z, last ? Z_FINISH : Z_FULL_FLUSH);
        piece.resize(piece.size() - z.avail_out);
        sizes.push_back(static_cast<uint32_t>(piece.size()));
        body += piece;
        at += n;
    } while (at < data.size());
    deflateEnd(&z);

    std::string out;
    out += static_cast<char>(kGzipId1);
    out += static_cast<char>(kGzipId2);
    out += static_cast<char>(kDeflate);
    out += static_cast<char>(kFlagExtra);
    appendLe32(out, 0);  // MTIME
    out += '\0';         // XFL
    out += '\3';         // OS: Unix
    const uint32_t tableLength = static_cast<uint32_t>(kChunkTableHeaderSize + 2 * sizes.size());
    appendLe16(out, static_cast<uint32_t>(kSubfieldHeaderSize) + tableLength);
    out += 'R';
    out += 'A';
    appendLe16(out, tableLength);
    appendLe16(out, kChunkTableVersion);
    appendLe16(out, chunkLength);
    appendLe16(out, static_cast<uint32_t>(sizes.size()));
    for (uint32_t size : sizes)
        appendLe16(out, size);
    out += body;
    appendLe32(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                                static_cast<uInt>(data.size()))));
    appendLe32(out, static_cast<uint32_t>(data.size()));
    return out;
}

void TArticleExtent::add(const std::string& dataPath, std::string_view word, const char* entryKind,
                         size_t entryNumber, uint64_t offset, uint64_t length) {
    if (length > TDictData::kMaxArticle) {
        throw TError(dataPath + ": статья «" + std::string(word) + "» (" + entryKind + " " +
                     std::to_string(entryNumber) + " индекса) длиннее " +
                     std::to_string(TDictData::kMaxArticle >> 20) + " МиБ");
    }
    needed = std::max(needed, offset > UINT64_MAX - length ? UINT64_MAX : offset + length);
    total += length;
}

std::optional<std::string_view> readArticle(TDictData& data, uint64_t offset, uint64_t length,
                                            std::string_view word,
                                            std::vector<std::string>* skipped) {
    try {
        return data.read(offset, length);
    } catch (const TDamagedData& e) {
        if (!skipped)
            throw;
        skipped->push_back(std::string(e.what()) + ": статья «" + std::string(word) +
                           "» пропущена");
        return std::nullopt;
    }
}
