// A user's files: what is no file is refused by the readers at once, and the
// writer puts a whole file in place, writes into a device, a FIFO or a
// descriptor as it is, takes a name of any length a folder allows, and leaves
// the earlier file when the disk is full.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "common/InputFile.h"
#include "common/OutputFile.h"
#include "tests/support/CScratchDir.h"
#include "tests/support/CSmallDisk.h"

using namespace sonavel::files;
using testsupport::CScratchDir;
using testsupport::Slurp;

namespace {

// A character device as /dev/null is, in a test's own folder; false where the
// system does not let this process make one.
bool MakeNullDevice(const std::string& strPath)
{
    return ::mknod(strPath.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
}

mode_t TypeOf(const std::string& strPath)
{
    struct stat st {};
    return ::lstat(strPath.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

std::size_t Entries(const std::string& strFolder)
{
    return std::size_t(std::distance(std::filesystem::directory_iterator(strFolder), {}));
}

bool Write(const std::string& strPath, const std::string& bytes, int& nErrno)
{
    return WriteWholeFile(strPath, bytes, nErrno);
}

} // namespace

TEST(UserFiles, ReadersRefuseWhatIsNoFileWithoutWaiting)
{
    CScratchDir dir;
    // Opened for reading, a FIFO without a writer would wait for ever.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    InputFile file = OpenInputFile(dir / "fifo");
    EXPECT_EQ(file.fd, -1);
    EXPECT_EQ(DescribeOpenFailure(file), "is a FIFO, not a file");
    file = OpenInputFile(dir.Path());
    EXPECT_EQ(file.nErrno, EISDIR);
    EXPECT_STREQ(file.szNotAFile, "a folder");
    if (MakeNullDevice(dir / "null")) {
        file = OpenInputFile(dir / "null");
        EXPECT_EQ(file.fd, -1);
        EXPECT_STREQ(file.szNotAFile, "a device");
    }
    file = OpenInputFile(dir / "missing");
    EXPECT_EQ(file.nErrno, ENOENT);
    EXPECT_EQ(file.szNotAFile, nullptr);

    // A file is opened, and reads block as they should once open.
    std::ofstream(dir / "a.txt") << "text";
    file = OpenInputFile(dir / "a.txt");
    ASSERT_GE(file.fd, 0);
    EXPECT_EQ(::fcntl(file.fd, F_GETFL) & O_NONBLOCK, 0);
    char sz[8] = {};
    EXPECT_EQ(::read(file.fd, sz, sizeof sz), 4);
    ::close(file.fd);
}

TEST(UserFiles, AFifoOrADescriptorIsWrittenIntoNeverReplaced)
{
    CScratchDir dir;
    int nErrno = 0;
    const std::string fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string got;
    std::thread reader([&] {
        std::ifstream in(fifo, std::ios::binary);
        got.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    });
    EXPECT_TRUE(Write(fifo, "through the FIFO", nErrno)) << nErrno;
    reader.join();
    EXPECT_EQ(got, "through the FIFO");
    EXPECT_EQ(TypeOf(fifo), S_IFIFO);

    // A descriptor's link, named directly and through a link (as /dev/stdout
    // leads to /proc/self/fd/1): the bytes go down that descriptor.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const std::string strOwn = "/proc/self/fd/" + std::to_string(fds[1]);
    ASSERT_EQ(::symlink(strOwn.c_str(), (dir / "stdout").c_str()), 0);
    EXPECT_TRUE(Write(strOwn, "one ", nErrno)) << nErrno;
    EXPECT_TRUE(Write(dir / "stdout", "two", nErrno)) << nErrno;
    ::close(fds[1]);
    char sz[16] = {};
    EXPECT_EQ(::read(fds[0], sz, sizeof sz), 7);
    EXPECT_STREQ(sz, "one two");
    ::close(fds[0]);
    EXPECT_EQ(TypeOf(dir / "stdout"), S_IFLNK);
    EXPECT_EQ(Entries(dir.Path()), 2u);
}

TEST(UserFiles, ADeviceIsWrittenIntoNeverReplaced)
{
    CScratchDir dir;
    if (!MakeNullDevice(dir / "null"))
        GTEST_SKIP() << "this process may not make a device node (mknod: " << std::strerror(errno) << ")";
    int nErrno = 0;
    EXPECT_TRUE(Write(dir / "null", "gone", nErrno)) << nErrno;
    EXPECT_EQ(TypeOf(dir / "null"), S_IFCHR);
    EXPECT_EQ(Entries(dir.Path()), 1u);
}

TEST(UserFiles, ANameOfAnyLengthAFolderTakesIsWritten)
{
    CScratchDir dir;
    // 250 and 255 bytes, the last one of many-byte characters: the temporary
    // name must be shorter than the name, and cut between characters.
    std::string accented;
    for (int i = 0; i < 127; ++i)
        accented += "\xC3\xA9";
    for (const std::string& name : {std::string(246, 'n') + ".csv", std::string(251, 'n') + ".csv", accented + "x"}) {
        int nErrno = 0;
        EXPECT_TRUE(Write(dir / name, "row\n", nErrno)) << name.size() << ": " << std::strerror(nErrno);
        EXPECT_EQ(Slurp(dir / name), "row\n");
        EXPECT_TRUE(Write(dir / name, "again\n", nErrno)) << name.size() << ": " << std::strerror(nErrno);
        EXPECT_EQ(Slurp(dir / name), "again\n");
    }
    EXPECT_EQ(Entries(dir.Path()), 3u);
}

TEST(UserFiles, AFullDiskKeepsTheEarlierFileAndSaysWhy)
{
    // A file-size limit in a child (the signal ignored, so the write fails with
    // EFBIG) cuts the write short as a full disk would, wherever this runs.
    CScratchDir dir;
    const std::string out = dir / "out.csv";
    std::ofstream(out) << "earlier";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int nErrno = 0;
        const bool bWritten = Write(out, std::string(1 << 20, 'x'), nErrno);
        ::_exit(!bWritten && nErrno == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Slurp(out), "earlier");
    EXPECT_EQ(Entries(dir.Path()), 1u);

    testsupport::CSmallDisk disk(64);
    if (!disk.Mounted())
        GTEST_SKIP() << disk.Why() << "; the file-size limit above stood in for it";
    std::ofstream(disk / "out.csv") << "earlier";
    disk.Fill();
    int nErrno = 0;
    EXPECT_FALSE(Write(disk / "out.csv", std::string(1 << 18, 'x'), nErrno));
    EXPECT_EQ(nErrno, ENOSPC);
    EXPECT_EQ(DescribeWriteFailure(disk / "out.csv", nErrno), "cannot write " + disk / "out.csv" + ": No space left on device");
    EXPECT_EQ(Slurp(disk / "out.csv"), "earlier");
    EXPECT_EQ(Entries(disk.Path()), 2u);
}
