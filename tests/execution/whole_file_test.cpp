// Whole files: a failed write (a full file system, simulated by the file
// size limit) leaves the old file and no temporary file behind and names
// the reason; reads refuse what cannot be read whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "whole_file.h"

using namespace tavro;
namespace fs = std::filesystem;

namespace {

class WholeFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Folder = fs::temp_directory_path() / ("tavro_whole_file_" + std::to_string(::getpid()));
        fs::remove_all(Folder);
        fs::create_directories(Folder);
    }
    void TearDown() override
    {
        fs::permissions(Folder, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(Folder);
    }
    std::string read(const fs::path& p)
    {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    size_t entries()
    {
        return size_t(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()));
    }
    fs::path Folder;
};

TEST_F(WholeFileTest, AFailedWriteKeepsTheOldFileAndTellsWhy)
{
    fs::path file = Folder / "prog.tvr";
    ASSERT_TRUE(WriteWholeFile(file, "print 1\n"));
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(WriteWholeFile(file, "print 2\n"));
    EXPECT_EQ(read(file), "print 2\n");
    // The file's permissions survive the rename of the new file over it.
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms(0640));

    // A file system that takes no more: the size limit fails the write
    // half-way, as a full disk does.
    struct sigaction ignore {}, old {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &old);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    std::string reason;
    bool written = WriteWholeFile(file, std::string(100000, 'x'), &reason);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &old, nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(reason, "File too large");
    EXPECT_EQ(read(file), "print 2\n");
    EXPECT_EQ(entries(), 1u) << "the temporary file is removed";

    // A folder that cannot be written: nothing changes, the reason says so.
    if (::geteuid() != 0) {
        fs::permissions(Folder, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(WriteWholeFile(file, "print 3\n", &reason));
        EXPECT_EQ(reason, "Permission denied");
        fs::permissions(Folder, fs::perms::owner_all);
        EXPECT_EQ(read(file), "print 2\n");
    }
    EXPECT_FALSE(WriteWholeFile((Folder / "missing" / "a.tvr").string(), "x", &reason));
    EXPECT_EQ(reason, "No such file or directory");
}

TEST_F(WholeFileTest, ReadsRefuseWhatCannotBeReadWhole)
{
    std::string bytes, reason;
    fs::path file = Folder / "a.tvr";
    std::ofstream(file, std::ios::binary) << std::string("pr\0int", 6);
    ASSERT_TRUE(ReadWholeFile(file, bytes, &reason));
    EXPECT_EQ(bytes, std::string("pr\0int", 6));
    // Larger than the limit.
    EXPECT_FALSE(ReadWholeFile(file, bytes, &reason, 5));
    EXPECT_NE(reason.find("too large"), std::string::npos);
    EXPECT_TRUE(bytes.empty());
    // Devices, folders, pipes, missing files and symlink loops.
    EXPECT_FALSE(ReadWholeFile("/dev/zero", bytes, &reason));
    EXPECT_NE(reason.find("Not a regular file"), std::string::npos);
    EXPECT_FALSE(ReadWholeFile(Folder, bytes, &reason));
    EXPECT_EQ(reason, "Is a directory");
    fs::path fifo = Folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(ReadWholeFile(fifo, bytes, &reason));
    EXPECT_FALSE(ReadWholeFile(Folder / "missing.tvr", bytes, &reason));
    EXPECT_EQ(reason, "No such file or directory");
    fs::create_symlink(Folder / "loop", Folder / "loop");
    EXPECT_FALSE(ReadWholeFile(Folder / "loop", bytes, &reason));
    EXPECT_EQ(reason, "Too many levels of symbolic links");
    // A file that cannot be read is a failure, never an empty text.
    if (::geteuid() != 0) {
        ::chmod(file.c_str(), 0200);
        EXPECT_FALSE(ReadWholeFile(file, bytes, &reason));
        EXPECT_EQ(reason, "Permission denied");
    }
}

TEST_F(WholeFileTest, AStampNoticesAChangeByAnotherProgram)
{
    fs::path file = Folder / "a.tvr";
    ASSERT_TRUE(WriteWholeFile(file, "print 1\n"));
    FileStamp stamp = StampOf(file);
    EXPECT_TRUE(stamp == StampOf(file));
    std::ofstream(file, std::ios::binary | std::ios::app) << "print 2\n";
    EXPECT_FALSE(stamp == StampOf(file));
    fs::remove(file);
    EXPECT_FALSE(StampOf(file).exists);
}

}  // namespace
