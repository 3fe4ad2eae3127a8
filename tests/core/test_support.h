#pragma once

#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dictionary/dictionary.h"
#include "dictionary/secret_memory_stream.h"
#include "platform/codepage.h"
#include "platform/error.h"

// Helpers shared by the core tests: temporary folders and files, running as an unprivileged
// user, catching the core's errors, and building dictionary bytes and dictionaries.

// A fresh empty folder under the temporary folder, removed (read-only or not) at the end.
class TTempFolder {
public:
    TTempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "termovel-test-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~TTempFolder() {
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    // How many entries the folder holds.
    int entryCount() const {
        int count = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(path_))
            ++count;
        return count;
    }

private:
    std::string path_;
};

// The folder's entry names, sorted; for checking that nothing (no temporary file) was left.
inline std::vector<std::string> entryNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// Writes plain dictionary layout bytes as the scrambled file the program would read.
inline void writeScrambled(const std::string& path, std::string plain) {
    keystream::scramble(plain.data(), plain.size());
    writeFile(path, plain);
}

// Runs body in a child process and returns what it returned; when the child does not end of
// itself (it crashed, or was stopped), failure followed by whatever it had written.
inline std::string inChildProcess(const std::function<std::string()>& body,
                                  const std::string& failure) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        const std::string result = body();
        (void)!::write(pipeFds[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string result;
    char buffer[256];
    for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? result : failure + result;
}

// Runs body as a user without privileges, so permission bits count even when the tests run as
// the superuser (who ignores them): as "nobody" in a child process then. body returns "" when
// all is well, else what went wrong; so does this function.
inline std::string asUnprivileged(const std::function<std::string()>& body) {
    if (::geteuid() != 0)
        return body();
    return inChildProcess(
        [&]() -> std::string {
            if (::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0)
                return body();
            return "cannot drop privileges";
        },
        "the unprivileged run crashed");
}

// Makes folder read-only for everybody (and readable, so an unprivileged user gets in).
inline void makeReadOnly(const std::string& folder) {
    using std::filesystem::perms;
    std::filesystem::permissions(folder, perms::owner_read | perms::owner_exec | perms::group_read |
                                             perms::group_exec | perms::others_read |
                                             perms::others_exec);
}

// What lies at path, not following links: "file 0600 own", "dir 0700 other" (kind, mode, and
// whether the effective user owns it), "link" or "missing".
inline std::string describe(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return "missing";
    if (S_ISLNK(info.st_mode))
        return "link";
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", info.st_mode & 07777);
    return std::string(S_ISDIR(info.st_mode)   ? "dir "
                       : S_ISREG(info.st_mode) ? "file "
                                               : "other ") +
           mode + (info.st_uid == ::geteuid() ? " own" : " other");
}

// Puts at path what kind names, as another user, an older version or a mistake may have left
// it: "file", "fifo", "link" (to target; to itself for a loop), "dir", either with a mode
// ("file 0666", "dir 0750"), and "file theirs" or "dir theirs" (the user "nobody"'s; without the
// superuser, who alone can give things away, the file is left out and the folder is open to all
// instead).
inline void plant(const std::string& kind, const std::string& path,
                  const std::string& target = "") {
    const bool dir = kind.starts_with("dir");
    if (kind == "link")
        std::filesystem::create_symlink(target, path);
    else if (kind == "fifo")
        ::mkfifo(path.c_str(), 0600);
    else if (dir)
        ::mkdir(path.c_str(), 0700);
    else
        writeFile(path, "x");
    if (const size_t space = kind.find(" 0"); space != std::string::npos)
        ::chmod(path.c_str(), static_cast<mode_t>(std::stoul(kind.substr(space + 1), nullptr, 8)));
    if (kind.ends_with("theirs") && ::chown(path.c_str(), 65534, 65534) != 0) {
        if (dir)
            ::chmod(path.c_str(), 0777);
        else
            ::unlink(path.c_str());
    }
}

// Sets an environment variable, or unsets it for a null value, until the end of the scope.
class TScopedEnv {
public:
    TScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name))
            old_ = old;
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~TScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

const std::string kNoError = "(no error)";

// The message of the TError that action raises, or kNoError.
inline std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const TError& e) {
        return e.what();
    }
    return kNoError;
}

// A 32-bit signed integer as the dictionary file stores it: 4 bytes, little-endian.
inline std::string le32(int32_t v) {
    const auto u = static_cast<uint32_t>(v);
    return {static_cast<char>(u & 0xFF), static_cast<char>((u >> 8) & 0xFF),
            static_cast<char>((u >> 16) & 0xFF), static_cast<char>((u >> 24) & 0xFF)};
}

// An unsigned integer of the given number of bytes, big-endian, as StarDict stores it.
inline std::string bigEndian(uint64_t value, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

// UTF-8 text as the Windows-1251 bytes the dictionary stores (the text must fit the code page).
inline std::string cp1251(std::string_view utf8) {
    return codepage::fromUtf8(utf8).value();
}

// UTF-8 text (ASCII and Cyrillic are enough here) as UTF-16LE bytes.
inline std::string utf16le(std::string_view utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        const bool two = c >= 0xC0 && c < 0xE0 && i + 1 < utf8.size();
        const uint32_t code = two ? (c & 0x1F) << 6 | (utf8[i + 1] & 0x3F) : c;
        i += two ? 2 : 1;
        out += {static_cast<char>(code & 0xFF), static_cast<char>(code >> 8)};
    }
    return out;
}

// data deflated in one call: as gzip (windowBits MAX_WBITS + 16) or raw (-MAX_WBITS), finished
// (Z_FINISH) or flushed in full (Z_FULL_FLUSH, as a dictzip chunk before the last).
inline std::string deflated(std::string_view data, int windowBits, int flush) {
    z_stream z{};
    deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, flush);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

inline std::string gzipWhole(std::string_view data) {
    return deflated(data, MAX_WBITS + 16, Z_FINISH);
}

// A string record of the dictionary file: the length, then the bytes.
inline std::string record(const std::string& text) {
    return le32(static_cast<int32_t>(text.size())) + text;
}

// An entry of the dictionary file: the term's record, then the article's.
inline std::string entry(const std::string& term, const std::string& article) {
    return record(term) + record(article);
}

// The three header records of a dictionary whose name, author and description are empty.
inline std::string emptyHeader() {
    return record("") + record("") + record("");
}

// The dictionary's plain (unscrambled) file layout.
inline std::string plainBytes(const TDictionary& d) {
    TSecretMemoryStream s;
    d.SaveToStream(s);
    return std::string(s.data(), s.size());
}

// Whether the morphology data word forms read is installed: Hunspell's Russian and English
// dictionaries, WordNet's lists of irregular forms. Tests that need it skip without it.
inline bool haveHunspell() {
    return std::filesystem::exists("/usr/share/hunspell/ru_RU.dic") &&
           std::filesystem::exists("/usr/share/hunspell/en_US.dic");
}
inline bool haveWordNet() {
    return std::filesystem::exists("/usr/share/wordnet/noun.exc") &&
           std::filesystem::exists("/usr/share/wordnet/verb.exc");
}

using TEntries = std::vector<std::pair<std::string, std::string>>;

// Adds these (term, article) pairs to d in turn.
inline void addEntries(TDictionary& d, const TEntries& pairs) {
    for (const auto& [term, article] : pairs)
        d.AddTerm(term, article);
}

// Saves a dictionary of these (term, article) pairs, added in turn, to path.
inline void saveEntries(const std::string& path, const TEntries& pairs) {
    TDictionary d;
    addEntries(d, pairs);
    d.SaveToFile(path);
}

// The plain file layout of a dictionary of these pairs.
inline std::string plainEntries(const TEntries& pairs) {
    TDictionary d;
    addEntries(d, pairs);
    return plainBytes(d);
}

// Puts a dictionary of these pairs in path's place by a rename, as another program replacing
// the file would.
inline void replaceWith(const std::string& path, const TEntries& pairs) {
    saveEntries(path + ".new", pairs);
    std::filesystem::rename(path + ".new", path);
}

// The four-entry dictionary the cache tests look up in.
inline void saveFruit(const std::string& dic) {
    saveEntries(dic, {{"apple", "apple article"},
                      {"banana", "banana article"},
                      {"cherry", "cherry article"},
                      {"zebra", "zebra article"}});
}

// The dictionary's (term, article) pairs in order.
inline TEntries entries(const TDictionary& d) {
    TEntries out;
    for (int i = 0; i < d.Count(); ++i)
        out.emplace_back(std::string(d.Term(i)), std::string(d.Article(i)));
    return out;
}

// The dictionary's terms in order.
inline std::vector<std::string> terms(const TDictionary& d) {
    std::vector<std::string> out;
    for (int i = 0; i < d.Count(); ++i)
        out.emplace_back(d.Term(i));
    return out;
}

// A text of fewer than pieceLimit pieces, each drawn at random from pieces.
inline std::string randomText(std::mt19937& random, const std::vector<std::string>& pieces,
                              int pieceLimit) {
    std::string t;
    const int n = static_cast<int>(random() % static_cast<unsigned>(pieceLimit));
    for (int i = 0; i < n; ++i)
        t += pieces[random() % pieces.size()];
    return t;
}

// Pieces of random texts: line breaks of every kind, the import format's marks, escapes,
// blanks at either end, letters of both cases and single bytes 01–FF.
inline std::vector<std::string> textPieces() {
    std::vector<std::string> pieces = {
        "a",  "Z",   "\xe0", "\xc0", "\xb8", "\xa8", " ",   "  ",  "\t",   "\r\n", "\n",
        "\r", "~~~", "@",    "@x",   "\\",   "\\n",  "\\t", "\\#", "word", "\x98", "\xff",
    };
    for (int b = 1; b < 256; b += 7)
        pieces.push_back(std::string(1, static_cast<char>(b)));
    return pieces;
}

// A random dictionary; every one loads and saves back the same (the generator keeps zero bytes
// out, and AddTerm keeps the order and refuses equal terms).
inline void randomDictionary(std::mt19937& random, TDictionary& d) {
    static const std::vector<std::string> pieces = textPieces();
    d.SetName(randomText(random, pieces, 4));
    d.SetAuthor(randomText(random, pieces, 3));
    d.SetInfo(randomText(random, pieces, 8));
    const int count = static_cast<int>(random() % 12);
    for (int i = 0; i < count; ++i)
        d.AddTerm(randomText(random, pieces, 5), randomText(random, pieces, 10));
}

// Rewrites the dictionary's bytes in place with plain (of the same size), then puts its
// modification time back, as an editor writing within one timestamp step would leave it.
inline void rewriteInPlace(const std::string& path, std::string plain) {
    struct stat before {};
    ::stat(path.c_str(), &before);
    keystream::scramble(plain.data(), plain.size());
    const int fd = ::open(path.c_str(), O_WRONLY);
    (void)!::pwrite(fd, plain.data(), plain.size(), 0);
    ::close(fd);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

struct TToolRun {
    int code = -1;
    std::string out;  // what the command printed
};

// Runs a shell command; returns its exit code and what it printed on standard output.
inline TToolRun runShell(const std::string& command) {
    TToolRun run;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.out.append(buffer, n);
    const int status = ::pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
