// SPDX-License-Identifier: GPL-3.0-or-later
// Writing files: whole or not at all, new names never taken from another file, explicit modes,
// links in private folders never followed.
#include "PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace vantrel;

// Every call of umask() in this test program, Vantrel's libraries included, lands here: the
// process-wide umask must never be changed (another thread may be creating files meanwhile).
std::atomic<int> umaskCalls = 0;
extern "C" mode_t umask(mode_t mask)
{
    ++umaskCalls;
    return mode_t(::syscall(SYS_umask, mask));
}

namespace {

QByteArray contentsOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void put(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

mode_t modeOf(const QString& path)
{
    struct stat info
    { };
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info.st_mode & 0777;
}

QStringList everything(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Files larger than `bytes` cannot be written while it lives: the kernel refuses with EFBIG, as
// a full disk refuses with ENOSPC, part-way through a write.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved {};
    void (*m_handler)(int) = nullptr;
};

} // namespace

TEST(PrivateFiles, AFailedWriteOrCopyLeavesTheOldFileWholeAndNoTemporaryBehind)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("shot.png"));
    put(target, "old picture");

    {
        FileSizeLimit full(64 * 1024);
        const std::optional<Error> failure = files::writeFile(target, QByteArray(256 * 1024, 'x'));
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->code, EFBIG);
        EXPECT_TRUE(failure->description.startsWith(target));
    }
    EXPECT_EQ(contentsOf(target), QByteArray("old picture"));
    EXPECT_EQ(everything(dir.path()), QStringList {QStringLiteral("shot.png")});

    // A copy from something that cannot be read: missing, a folder, a pipe (never waited on).
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& source : {dir.filePath(QStringLiteral("missing.mp4")), dir.path(), fifo}) {
        EXPECT_TRUE(files::copyFile(source, target)) << source.toStdString();
        EXPECT_EQ(contentsOf(target), QByteArray("old picture"));
    }
    EXPECT_EQ(everything(dir.path()), (QStringList {QStringLiteral("pipe"), QStringLiteral("shot.png")}));

    const QString source = dir.filePath(QStringLiteral("take.mp4"));
    put(source, QByteArray(300000, 'v'));
    EXPECT_FALSE(files::copyFile(source, target));
    EXPECT_EQ(contentsOf(target), QByteArray(300000, 'v'));
}

TEST(PrivateFiles, ModesAreExplicitAndTheUmaskIsNeverTouched)
{
    QTemporaryDir dir;
    const mode_t saved = mode_t(::syscall(SYS_umask, 027));
    umaskCalls = 0;

    // Private files are 0600, even over a file others could read.
    const QString secret = dir.filePath(QStringLiteral("secret.png"));
    put(secret, "x");
    ::chmod(QFile::encodeName(secret).constData(), 0644);
    EXPECT_FALSE(files::writeFile(secret, "capture", {.access = files::Access::privateToUser}));
    EXPECT_EQ(modeOf(secret), 0600u);

    // The user's own files: a new one follows the umask, a replaced one keeps its permissions.
    const QString fresh = dir.filePath(QStringLiteral("fresh.png"));
    EXPECT_FALSE(files::writeFile(fresh, "capture", {.access = files::Access::userDefault}));
    EXPECT_EQ(modeOf(fresh), 0640u);
    const QString shared = dir.filePath(QStringLiteral("shared.png"));
    put(shared, "x");
    ::chmod(QFile::encodeName(shared).constData(), 0664);
    EXPECT_FALSE(files::writeFile(shared, "capture", {.access = files::Access::userDefault}));
    EXPECT_EQ(modeOf(shared), 0664u);
    const Expected<QString> named = files::writeNewFile(dir.path(), [](int) { return QStringLiteral("named.png"); },
        {.bytes = "capture"}, {.access = files::Access::userDefault});
    ASSERT_TRUE(named.ok());
    EXPECT_EQ(modeOf(*named), 0640u);

    EXPECT_EQ(umaskCalls.load(), 0);
    ::syscall(SYS_umask, saved);
}

TEST(PrivateFiles, ANewFileNeverTakesTheNameOfOneThatAppearedMeanwhile)
{
    QTemporaryDir dir;
    const auto nameFor = [](int attempt) {
        return attempt == 1 ? QStringLiteral("Vantrel 2026-03-12 at 14.05.09.png")
                            : QStringLiteral("Vantrel 2026-03-12 at 14.05.09 (%1).png").arg(attempt);
    };
    // Another program creates the chosen name after it was chosen and before the write ends;
    // a dangling link and a folder hold the next two names.
    const auto racingName = [&](int attempt) {
        const QString name = nameFor(attempt);
        if (attempt == 1)
            put(dir.filePath(name), "written by someone else");
        return name;
    };
    ASSERT_EQ(::symlink("/nonexistent", QFile::encodeName(dir.filePath(nameFor(2))).constData()), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(nameFor(3)));

    const Expected<QString> written = files::writeNewFile(dir.path(), racingName, {.bytes = "capture"});
    ASSERT_TRUE(written.ok()) << written.error().description.toStdString();
    EXPECT_EQ(*written, dir.filePath(nameFor(4)));
    EXPECT_EQ(contentsOf(*written), QByteArray("capture"));
    EXPECT_EQ(contentsOf(dir.filePath(nameFor(1))), QByteArray("written by someone else"));
    EXPECT_EQ(modeOf(*written), 0600u);
    EXPECT_EQ(everything(dir.path()).size(), 4) << "no temporary file left";

    // Copies claim names the same way.
    const QString source = dir.filePath(QStringLiteral("take.mp4"));
    put(source, "frames");
    const Expected<QString> copied = files::writeNewFile(dir.path(), nameFor, {.sourcePath = source});
    ASSERT_TRUE(copied.ok());
    EXPECT_EQ(*copied, dir.filePath(nameFor(5)));
    EXPECT_EQ(contentsOf(*copied), QByteArray("frames"));
}

TEST(PrivateFiles, MakingAFolderPrivateNeverFollowsALinkPlantedInIt)
{
    QTemporaryDir dir;
    const QString outside = dir.filePath(QStringLiteral("outside.txt"));
    put(outside, "someone's file");
    ::chmod(QFile::encodeName(outside).constData(), 0644);
    const QString folder = dir.filePath(QStringLiteral("History"));
    ASSERT_TRUE(QDir().mkpath(folder));
    put(folder + QStringLiteral("/A.png"), "12345");
    ::chmod(QFile::encodeName(folder + QStringLiteral("/A.png")).constData(), 0644);
    ASSERT_EQ(::symlink(QFile::encodeName(outside).constData(),
                  QFile::encodeName(folder + QStringLiteral("/B.png")).constData()),
        0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder + QStringLiteral("/C.png")).constData(), 0644), 0);
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("D.png")));

    const std::vector<files::FolderFile> found = files::makeFilesPrivate(folder);
    ASSERT_EQ(found.size(), 1u) << "regular files only";
    EXPECT_EQ(found[0].name, QStringLiteral("A.png"));
    EXPECT_EQ(found[0].size, 5);
    EXPECT_EQ(modeOf(folder + QStringLiteral("/A.png")), 0600u);
    EXPECT_EQ(modeOf(outside), 0644u) << "the link's target is not ours to change";
    EXPECT_EQ(modeOf(folder + QStringLiteral("/C.png")), 0644u);
}

TEST(PrivateFiles, TemporaryNamesAreRecognised)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("history.json"));
    {
        FileSizeLimit full(16);
        ASSERT_TRUE(files::writeFile(target, QByteArray(4096, '[')));
    }
    // The failed write removed its temporary file; a crash would have left one of this shape.
    EXPECT_TRUE(everything(dir.path()).isEmpty());
    EXPECT_TRUE(files::isTemporaryName(QStringLiteral(".history.json.vantrel-a1B2c3D4")));
    EXPECT_TRUE(files::isTemporaryName(QStringLiteral(".vantrel-a1B2c3D4")));
    for (const char* name : {"history.json", "0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0.png", ".hidden",
             "history.json.20260312T140509Z.bak", "vantrel-notes.png"})
        EXPECT_FALSE(files::isTemporaryName(QString::fromLatin1(name))) << name;
}
