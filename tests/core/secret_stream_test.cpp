#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "dictionary/secret_memory_stream.h"
#include "platform/error.h"

namespace {

std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const TError& e) {
        return e.what();
    }
    return "(no error)";
}

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SecretStream : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("termovel-stream-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
        std::filesystem::remove_all(folder_);
    }
    std::filesystem::path folder_;
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
    EXPECT_EQ(errorOf([&] { s.saveToFileAtomically(missing); }), "Cannot create file " + missing);
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
    s.saveToFileAtomically(path.string());
    EXPECT_EQ(readFile(path), "new content");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

TEST_F(SecretStream, FailedAtomicSaveLeavesOldFileAndNoTemporary) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions";
    const auto path = folder_ / "d.dic";
    { std::ofstream(path) << "old"; }
    std::filesystem::permissions(
        folder_, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    TSecretMemoryStream s;
    s.WriteBuffer("new", 3);
    EXPECT_EQ(errorOf([&] { s.saveToFileAtomically(path.string()); }),
              "Cannot create file " + path.string());
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_), {}), 1);
}

TEST_F(SecretStream, ReleaseHandsOverTheBuffer) {
    TSecretMemoryStream s;
    s.WriteBuffer("xyz", 3);
    MallocBuffer buffer = s.release();
    EXPECT_EQ(std::string(buffer.get(), 3), "xyz");
    EXPECT_EQ(s.size(), 0u);
    EXPECT_EQ(s.position(), 0u);
}
