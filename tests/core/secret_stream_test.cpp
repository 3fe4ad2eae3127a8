#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "dictionary/secret_memory_stream.h"
#include "platform/atomic_file.h"
#include "platform/error.h"
#include "platform/profile.h"
#include "test_support.h"

namespace {

// The way every whole-file save goes: the stream's content through the atomic writer.
void saveAtomically(const TSecretMemoryStream& s, const std::string& path) {
    TAtomicFileWriter out(path);
    out.write(s.data(), s.size());
    out.commit();
}

class SecretStream : public ::testing::Test {
protected:
    TTempFolder temp_;
    std::filesystem::path folder_ = temp_.path();
};

}  // namespace

TEST_F(SecretStream, WriteThenReadBack) {
    TSecretMemoryStream s;
    s.WriteBuffer("hello", 5);
    s.WriteBuffer("", 0);
    s.WriteBuffer(" world", 6);
    EXPECT_EQ(s.size(), 11u);
    EXPECT_EQ(s.position(), 11u);
    s.setPosition(0);
    char out[11];
    s.ReadBuffer(out, 11);
    EXPECT_EQ(std::string(out, 11), "hello world");
}

TEST_F(SecretStream, ShortReadFailsAndKeepsPosition) {
    TSecretMemoryStream s;
    s.WriteBuffer("abc", 3);
    s.setPosition(1);
    char out[3];
    EXPECT_EQ(errorOf([&] { s.ReadBuffer(out, 3); }), "Stream read error");
    EXPECT_EQ(s.position(), 1u);
    s.ReadBuffer(out, 0);
    s.ReadBuffer(out, 2);
    EXPECT_EQ(std::string(out, 2), "bc");
}

TEST_F(SecretStream, ScrambleKeepsSizeAndPositionAndRoundTrips) {
    for (size_t n : {0, 1, 100, 70000}) {
        TSecretMemoryStream s;
        const std::string plain(n, 'q');
        s.WriteBuffer(plain.data(), n);
        s.setPosition(n / 2);
        s.Scramble();
        EXPECT_EQ(s.size(), n);
        EXPECT_EQ(s.position(), n / 2);
        if (n > 0) {
            EXPECT_NE(std::string(s.data(), n), plain);
        }
        s.Unscramble();
        EXPECT_EQ(std::string(s.data(), n), plain);
    }
}

TEST_F(SecretStream, FileRoundTrip) {
    TSecretMemoryStream s;
    s.WriteBuffer("\x00\x01\xff", 3);
    const std::string path = (folder_ / "f.bin").string();
    s.SaveToFile(path);
    TSecretMemoryStream back;
    back.LoadFromFile(path);
    EXPECT_EQ(back.size(), 3u);
    EXPECT_EQ(back.position(), 0u);
    EXPECT_EQ(std::string(back.data(), 3), std::string("\x00\x01\xff", 3));
}

TEST_F(SecretStream, FileErrorsNameThePath) {
    const std::string missing = (folder_ / "none" / "x.dic").string();
    TSecretMemoryStream s;
    EXPECT_EQ(errorOf([&] { s.LoadFromFile(missing); }), "Cannot open file " + missing);
    EXPECT_EQ(errorOf([&] { s.LoadFromFile(folder_.string()); }),
              "Cannot open file " + folder_.string());
    EXPECT_EQ(errorOf([&] { s.SaveToFile(missing); }), "Cannot create file " + missing);
    EXPECT_EQ(errorOf([&] { saveAtomically(s, missing); }), "Cannot create file " + missing);
}

TEST_F(SecretStream, WriteErrorOnFullDevice) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    TSecretMemoryStream s;
    s.WriteBuffer("data", 4);
    EXPECT_EQ(errorOf([&] { s.SaveToFile("/dev/full"); }), "Stream write error");
}

TEST_F(SecretStream, AtomicSaveReplacesAndKeepsPermissions) {
    const auto path = folder_ / "d.dic";
    { std::ofstream(path) << "old"; }
    ::chmod(path.c_str(), 0640);
    TSecretMemoryStream s;
    s.WriteBuffer("new content", 11);
    saveAtomically(s, path.string());
    EXPECT_EQ(readFile(path), "new content");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

TEST_F(SecretStream, FailedAtomicSaveLeavesOldFileAndNoTemporary) {
    const auto path = folder_ / "d.dic";
    { std::ofstream(path) << "old"; }
    makeReadOnly(folder_.string());
    // The superuser ignores the folder's permissions, so the save is tried as an ordinary user.
    EXPECT_EQ(asUnprivileged([&]() -> std::string {
                  TSecretMemoryStream s;
                  s.WriteBuffer("new", 3);
                  const std::string error = errorOf([&] { saveAtomically(s, path.string()); });
                  return error == "Cannot create file " + path.string() ? "" : error;
              }),
              "");
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(entryNames(folder_.string()), (std::vector<std::string>{"d.dic"}));
}

// A file the user may not write to is not replaced, though the folder would allow the rename;
// the settings file obeys the same rule.
TEST_F(SecretStream, AtomicSaveLeavesAReadOnlyFileAlone) {
    namespace fs = std::filesystem;
    const auto path = folder_ / "d.dic";
    { std::ofstream(path) << "old"; }
    fs::permissions(folder_, fs::perms::all);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(asUnprivileged([&]() -> std::string {
                  TSecretMemoryStream s;
                  s.WriteBuffer("new", 3);
                  const std::string error = errorOf([&] { saveAtomically(s, path.string()); });
                  if (error != "Cannot create file " + path.string())
                      return "dictionary: " + error;
                  const std::string ini = (folder_ / "d.dic").string();
                  return profile::TProfile::parse("[S]\nk=v\n").save(ini) ? "settings saved" : "";
              }),
              "");
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(entryNames(folder_.string()), (std::vector<std::string>{"d.dic"}));
}

// A file kept elsewhere through a symbolic link stays there: the save replaces what the link
// leads to, and the link stays a link.
TEST_F(SecretStream, AtomicSaveThroughALinkReplacesItsTarget) {
    namespace fs = std::filesystem;
    struct TCase {
        const char* what;
        std::vector<std::pair<std::string, std::string>> links;  // link name, what it names
        std::string target;  // the file that must receive the bytes
    };
    const std::string absolute = (folder_ / "real" / "abs.dic").string();
    const std::vector<TCase> cases = {
        {"relative link into another folder", {{"rel.dic", "real/rel.dic"}}, "real/rel.dic"},
        {"absolute link", {{"abs.dic", absolute}}, "real/abs.dic"},
        {"chain of links",
         {{"chain.dic", "step.dic"}, {"step.dic", "real/chain.dic"}},
         "real/chain.dic"},
        {"link to a file not yet there", {{"new.dic", "real/new.dic"}}, "real/new.dic"},
    };
    fs::create_directory(folder_ / "real");
    for (const TCase& c : cases) {
        const bool targetExists = std::string(c.what) != "link to a file not yet there";
        if (targetExists)
            std::ofstream(folder_ / c.target) << "old";
        for (const auto& [link, to] : c.links)
            fs::create_symlink(to, folder_ / link);
        TSecretMemoryStream s;
        s.WriteBuffer("new content", 11);
        const std::string linkPath = (folder_ / c.links.front().first).string();
        ASSERT_EQ(errorOf([&] { saveAtomically(s, linkPath); }), "(no error)") << c.what;
        for (const auto& [link, to] : c.links) {
            EXPECT_TRUE(fs::is_symlink(folder_ / link)) << c.what << ": " << link;
            EXPECT_EQ(fs::read_symlink(folder_ / link).string(), to) << c.what;
        }
        EXPECT_EQ(readFile(folder_ / c.target), "new content") << c.what;
        EXPECT_EQ(readFile(linkPath), "new content") << c.what;
    }
    // Nothing but the links, the folder and the targets: no temporary file anywhere.
    EXPECT_EQ(entryNames(folder_.string()),
              (std::vector<std::string>{"abs.dic", "chain.dic", "new.dic", "real", "rel.dic",
                                        "step.dic"}));
    EXPECT_EQ(entryNames((folder_ / "real").string()),
              (std::vector<std::string>{"abs.dic", "chain.dic", "new.dic", "rel.dic"}));
}

TEST_F(SecretStream, AtomicSaveThroughALoopOfLinksFailsAndKeepsTheLinks) {
    namespace fs = std::filesystem;
    fs::create_symlink("b.dic", folder_ / "a.dic");
    fs::create_symlink("a.dic", folder_ / "b.dic");
    TSecretMemoryStream s;
    s.WriteBuffer("x", 1);
    const std::string path = (folder_ / "a.dic").string();
    EXPECT_EQ(errorOf([&] { saveAtomically(s, path); }), "Cannot create file " + path);
    EXPECT_TRUE(fs::is_symlink(folder_ / "a.dic"));
    EXPECT_EQ(entryNames(folder_.string()), (std::vector<std::string>{"a.dic", "b.dic"}));
}

TEST_F(SecretStream, ReleaseHandsOverTheBuffer) {
    TSecretMemoryStream s;
    s.WriteBuffer("xyz", 3);
    TMallocBuffer buffer = s.release();
    EXPECT_EQ(std::string(buffer.get(), 3), "xyz");
    EXPECT_EQ(s.size(), 0u);
    EXPECT_EQ(s.position(), 0u);
}
