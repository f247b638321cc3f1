// SPDX-License-Identifier: GPL-3.0-or-later
// The single-instance lock: no other user can make this user's program
// believe it runs twice.
#include "platform/toolkit/app.h"
#include "support/test_paths.h"

#include <QFile>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tk = tovimo::tk;
using tovimo::testing::TempFolder;
using State = tk::App::LockState;

namespace {

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString ownFolder(const TempFolder& temp) {
    return temp.file(QStringLiteral("tovimo-%1").arg(::geteuid()));
}

void release(tk::App::InstanceLock& lock) {
    if (lock.fd >= 0)
        ::close(lock.fd);
    lock.fd = -1;
}

TEST(InstanceLock, OnlyALockHeldByAnotherProcessCountsAsAnotherInstance) {
    TempFolder runtime, temp;
    ASSERT_EQ(::chmod(native(runtime.path()).constData(), 0700), 0);
    tk::App::InstanceLock first = tk::App::takeInstanceLock(runtime.path(), temp.path());
    EXPECT_EQ(first.state, State::Taken);
    EXPECT_TRUE(QFile::exists(runtime.file(QStringLiteral("tovimo.lock"))));
    tk::App::InstanceLock second = tk::App::takeInstanceLock(runtime.path(), temp.path());
    EXPECT_EQ(second.state, State::HeldElsewhere);
    release(first);
    tk::App::InstanceLock third = tk::App::takeInstanceLock(runtime.path(), temp.path());
    EXPECT_EQ(third.state, State::Taken);
    release(third);
}

TEST(InstanceLock, WithoutARuntimeFolderAPrivateFolderIsMadeInTheTemporaryFolder) {
    TempFolder temp;
    for (const QString& runtime :
         {QString(), QStringLiteral("relative"), temp.file(QStringLiteral("missing"))}) {
        tk::App::InstanceLock lock = tk::App::takeInstanceLock(runtime, temp.path());
        EXPECT_EQ(lock.state, State::Taken) << runtime.toStdString();
        release(lock);
    }
    struct stat st {};
    ASSERT_EQ(::lstat(native(ownFolder(temp)).constData(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A runtime folder open to others is not trusted either.
    TempFolder shared;
    ASSERT_EQ(::chmod(native(shared.path()).constData(), 01777), 0);
    tk::App::InstanceLock lock = tk::App::takeInstanceLock(shared.path(), temp.path());
    EXPECT_EQ(lock.state, State::Taken);
    EXPECT_FALSE(QFile::exists(shared.file(QStringLiteral("tovimo.lock"))));
    release(lock);
}

TEST(InstanceLock, FoldersAndLinksPlantedByOthersAreNotUsed) {
    // Someone else's folder, a folder open to others, a link to a folder, and
    // a lock file that is a link: none may hold this user's lock.
    const struct {
        const char* name;
        std::function<void(const QString& own, const QString& elsewhere)> plant;
    } cases[] = {
        {"folder of another user",
         [](const QString& own, const QString&) {
             ASSERT_EQ(::mkdir(native(own).constData(), 0700), 0);
             if (::geteuid() == 0)
                 ASSERT_EQ(::chown(native(own).constData(), 4321, 4321), 0);
             else
                 GTEST_SKIP() << "needs root to plant another user's folder";
         }},
        {"folder open to others",
         [](const QString& own, const QString&) {
             ASSERT_EQ(::mkdir(native(own).constData(), 0700), 0);
             ASSERT_EQ(::chmod(native(own).constData(), 0777), 0);
         }},
        {"link to a folder",
         [](const QString& own, const QString& elsewhere) {
             ASSERT_EQ(::symlink(native(elsewhere).constData(), native(own).constData()), 0);
         }},
        {"lock file that is a link",
         [](const QString& own, const QString& elsewhere) {
             ASSERT_EQ(::mkdir(native(own).constData(), 0700), 0);
             const QString target = elsewhere + QStringLiteral("/tovimo.lock");
             ASSERT_EQ(::symlink(native(target).constData(), native(own + "/tovimo.lock").constData()), 0);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder temp, elsewhere;
        ASSERT_EQ(::chmod(native(elsewhere.path()).constData(), 0700), 0);
        c.plant(ownFolder(temp), elsewhere.path());
        // Another process would hold the planted lock: hold it here, on the
        // file a followed link would reach.
        const int held = ::open(native(elsewhere.file(QStringLiteral("tovimo.lock"))).constData(),
                                O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        ASSERT_GE(held, 0);
        ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
        tk::App::InstanceLock lock = tk::App::takeInstanceLock({}, temp.path());
        EXPECT_NE(lock.state, State::HeldElsewhere);
        release(lock);
        ::close(held);
    }
}

} // namespace
