#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

#include "VelkFile.h"
#include "support/CTempDir.h"

namespace {

// Passes writes through until a byte budget is spent, then fails: a full disk midway.
class CFailAfterSink final : public IByteSink {
public:
    CFailAfterSink(std::unique_ptr<IByteSink> inner, std::size_t budget)
        : m_inner(std::move(inner)), m_budget(budget) {}
    bool Write(const void* data, std::size_t size) override
    {
        if (size > m_budget) {
            m_inner->Write(data, m_budget);
            m_budget = 0;
            return false;
        }
        m_budget -= size;
        return m_inner->Write(data, size);
    }
    bool Flush() override { return m_inner->Flush(); }

private:
    std::unique_ptr<IByteSink> m_inner;
    std::size_t m_budget;
};

SinkWrapper FailAfter(std::size_t budget)
{
    return [budget](std::unique_ptr<IByteSink> inner) {
        return std::make_unique<CFailAfterSink>(std::move(inner), budget);
    };
}

std::size_t EntriesIn(const std::string& dir)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir))
        ++n;
    return n;
}

} // namespace

TEST(VelkFile, ReplaceWritesExactBytesAndLeavesNoTemporary)
{
    CTempDir dir;
    std::string path = dir.File("alert.cfg");
    std::string bytes("a\0b\xff", 4);
    ASSERT_TRUE(VelkReplaceFile(path, bytes));
    std::string read;
    ASSERT_TRUE(VelkReadFile(path, read));
    EXPECT_EQ(read, bytes);
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);

    ASSERT_TRUE(VelkReplaceFile(path, std::string_view()));
    ASSERT_TRUE(VelkReadFile(path, read));
    EXPECT_TRUE(read.empty());
}

TEST(VelkFile, FailedWriteLeavesOldFileByteIdentical)
{
    CTempDir dir;
    std::string path = dir.File("Magic.cfg");
    std::string old(300, 'x');
    ASSERT_TRUE(VelkReplaceFile(path, old));

    for (std::size_t budget : {std::size_t{0}, std::size_t{1}, std::size_t{151}, std::size_t{999}}) {
        std::string fresh(1000, 'y');
        EXPECT_FALSE(VelkReplaceFile(path, fresh, FailAfter(budget))) << budget;
        std::string read;
        ASSERT_TRUE(VelkReadFile(path, read));
        EXPECT_EQ(read, old) << budget;
        EXPECT_EQ(EntriesIn(dir.Path()), 1u) << "temporary left behind, budget " << budget;
    }
}

TEST(VelkFile, WriterThatGivesUpLeavesOldFile)
{
    CTempDir dir;
    std::string path = dir.File("System_alert.cfg");
    ASSERT_TRUE(VelkReplaceFile(path, std::string("old")));
    bool ok = VelkReplaceFile(path, [](IByteSink& sink) {
        sink.Write("new", 3);
        return false;
    });
    EXPECT_FALSE(ok);
    std::string read;
    ASSERT_TRUE(VelkReadFile(path, read));
    EXPECT_EQ(read, "old");
}

TEST(VelkFile, UnwritableDirectoryFailsWithoutTouchingTheFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only directories";
    CTempDir dir;
    std::string path = dir.File("alert.cfg");
    ASSERT_TRUE(VelkReplaceFile(path, std::string("keep")));
    ::chmod(dir.Path().c_str(), 0555);
    EXPECT_FALSE(VelkReplaceFile(path, std::string("lost")));
    ::chmod(dir.Path().c_str(), 0755);
    std::string read;
    ASSERT_TRUE(VelkReadFile(path, read));
    EXPECT_EQ(read, "keep");
}

TEST(VelkFile, MissingDirectoryOrFileIsReportedNotCreated)
{
    CTempDir dir;
    EXPECT_FALSE(VelkReplaceFile(dir.File("no/such/dir/file"), std::string("x")));
    std::string read = "stale";
    EXPECT_FALSE(VelkReadFile(dir.File("absent"), read));
    EXPECT_TRUE(read.empty());
    EXPECT_FALSE(VelkReadFile(dir.Path(), read)) << "a directory is not a readable file";
}

TEST(VelkFile, CreateDirectoriesMakesEveryLevel)
{
    CTempDir dir;
    std::string nested = dir.Path() + "/Dat/Alert/deeper";
    EXPECT_TRUE(VelkCreateDirectories(nested));
    EXPECT_TRUE(VelkIsDirectory(nested));
    EXPECT_TRUE(VelkCreateDirectories(nested + "/")) << "an existing directory is fine";

    std::string file = dir.File("plain");
    ASSERT_TRUE(VelkReplaceFile(file, std::string("x")));
    EXPECT_FALSE(VelkCreateDirectories(file + "/sub")) << "a file stands in the way";
}

TEST(VelkFile, RelativeDirectoriesAreCreatedFromTheCurrentDirectory)
{
    CTempDir dir;
    std::string cwd = std::filesystem::current_path().string();
    ASSERT_EQ(::chdir(dir.Path().c_str()), 0);
    std::filesystem::create_directory("bin");
    ASSERT_EQ(::chdir("bin"), 0);
    bool created = VelkCreateDirectories("../Dat/Alert");
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
    EXPECT_TRUE(created);
    EXPECT_TRUE(VelkIsDirectory(dir.Path() + "/Dat/Alert"));
}

TEST(VelkFile, JoinPath)
{
    EXPECT_EQ(VelkJoinPath("/a/SYS", "alert.cfg"), "/a/SYS/alert.cfg");
    EXPECT_EQ(VelkJoinPath("/a/SYS/", "alert.cfg"), "/a/SYS/alert.cfg");
    EXPECT_EQ(VelkJoinPath("", "alert.cfg"), "alert.cfg");
}
