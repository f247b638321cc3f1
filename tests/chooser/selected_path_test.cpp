// SPDX-License-Identifier: GPL-3.0-or-later
#include "chooser/selected_path.h"

#include <gtest/gtest.h>

namespace {

struct JoinCase {
    const char* folder;
    const char* fileName;
    const char* expected;
};

class JoinFolderAndFileName : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinFolderAndFileName, GivesTheFullPath) {
    const JoinCase& c = GetParam();
    EXPECT_EQ(
        tovimo::chooser::joinFolderAndFileName(QString::fromUtf8(c.folder), QString::fromUtf8(c.fileName)),
        QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JoinFolderAndFileName,
    ::testing::Values(
        JoinCase{"/", "clip.avi", "/clip.avi"},                                // root: one separator
        JoinCase{"/home/ana/Videos", "clip.avi", "/home/ana/Videos/clip.avi"}, // below root
        JoinCase{"//server/share", "clip.avi", "//server/share/clip.avi"},     // keeps its beginning
        JoinCase{"//", "clip.avi", "//clip.avi"}, JoinCase{"/media/usb/", "a b.mp3", "/media/usb/a b.mp3"},
        JoinCase{"/music//old", "song.mid", "/music/old/song.mid"},  // doubled inside: collapsed
        JoinCase{"//server//share", "x.wav", "/server/share/x.wav"}, // every pair, from the start
        JoinCase{"/home/ana", "", "/home/ana/"},                     // no name: the folder
        JoinCase{"/", "", "/"},
        JoinCase{"/home/ana", "\xc3\xa9t\xc3\xa9.ogg", "/home/ana/\xc3\xa9t\xc3\xa9.ogg"}));

} // namespace
