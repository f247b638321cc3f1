// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/form1_fixture.h"

#include <QMetaObject>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace player = tovimo::player;
using Commands = std::vector<std::string>;
using Answer = tovimo::testing::RecordingMediaService::Answer;

namespace {

class PlayMedia : public tovimo::testing::Form1Fixture {
protected:
    PlayMedia() {
        form.Timer1.setEnabled(false);
        form.pic1.setWidth(4800);
        form.pic1.setHeight(3600);
    }
    std::string openCommand(const std::string& path) { return f.openCommand(path); }
};

TEST_F(PlayMedia, OpensShortFormFitsVideoAndPlays) {
    media.shortPath("/home/u/My Clips/été.mp4", "/home/u/MYCLIP~1/T~1.MP4");
    form.Text2.setText(QStringLiteral("/home/u/My Clips/été.mp4"));
    QString fileName = form.Text2.Text();
    form.PlayAVIPictureBox(fileName, form.pic1);
    EXPECT_EQ(fileName, QStringLiteral("/home/u/MYCLIP~1/T~1.MP4"));
    EXPECT_EQ(media.commands(), (Commands{openCommand("/home/u/MYCLIP~1/T~1.MP4"),
                                          "put Media window at 0 0 320 240", "Play Media"}));
    EXPECT_EQ(std::to_string(form.pic1.hWnd()), QString::number(form.pic1.winId()).toStdString())
        << "the handle goes out in decimal";
}

TEST_F(PlayMedia, OnlyTheSixAudioEndingsSkipTheSizing) {
    struct Case {
        const char* text2;
        bool audio;
    };
    const Case cases[] = {
        {"a.mp3", true}, {"a.wav", true},  {"a.mid", true},  {"a.MP3", true},   {"a.WAV", true},
        {"a.MID", true}, {"a.Mp3", false}, {"a.waV", false}, {"a.midi", false}, {"a.avi", false},
        {".mp3", true},  {"mp3", false},   {"", false},      {"a.mp3 ", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text2);
        form.Text2.setText(QString::fromUtf8(c.text2));
        // The ending is read from the path box, not from the file passed in.
        QString fileName = QStringLiteral("clip.avi");
        media.clear();
        form.PlayAVIPictureBox(fileName, form.pic1);
        const Commands expected =
            c.audio ? Commands{openCommand("clip.avi"), "Play Media"}
                    : Commands{openCommand("clip.avi"), "put Media window at 0 0 320 240", "Play Media"};
        EXPECT_EQ(media.commands(), expected);
    }
}

TEST_F(PlayMedia, PixelSizeIsTheInnerSizeOverTheTwipsFactors) {
    struct Case {
        float width, height;
        const char* sizing;
    };
    const Case cases[] = {
        {9480, 8200, "put Media window at 0 0 632 546.6667"},
        {15, 0, "put Media window at 0 0 1 0"},
        {100, 7, "put Media window at 0 0 6.666667 0.4666667"},
    };
    for (const Case& c : cases) {
        form.pic1.setWidth(c.width);
        form.pic1.setHeight(c.height);
        QString fileName = QStringLiteral("v.avi");
        media.clear();
        form.PlayAVIPictureBox(fileName, form.pic1);
        ASSERT_EQ(media.commands().size(), 3u);
        EXPECT_EQ(media.commands()[1], c.sizing);
    }
}

TEST_F(PlayMedia, AFailedSizingLeavesTheFileUnplayed) {
    media.answer("put Media window at 0 0 320 240", {263, {}});
    QString fileName = QStringLiteral("v.avi");
    form.PlayAVIPictureBox(fileName, form.pic1);
    EXPECT_EQ(media.commands(), (Commands{openCommand("v.avi"), "put Media window at 0 0 320 240"}));
}

TEST_F(PlayMedia, APathThatCannotBeShortenedGoesOutEmpty) {
    media.shortPath("/gone/x.mp3", "");
    media.answer(openCommand(""), {275, {}});
    form.Text2.setText(QStringLiteral("/gone/x.mp3"));
    QString fileName = form.Text2.Text();
    form.PlayAVIPictureBox(fileName, form.pic1);
    EXPECT_TRUE(fileName.isEmpty());
    EXPECT_EQ(media.commands(), (Commands{openCommand(""), "Play Media"}))
        << "the open's code is not examined";
}

TEST_F(PlayMedia, EventsRunAfterOpenAndAroundPlay) {
    // Each command posts an event; the count of commands sent when it runs
    // shows where the operation let events through.
    std::vector<std::size_t> ranAfter;
    media.onCommand([&](const std::string&) {
        QMetaObject::invokeMethod(
            &form, [&] { ranAfter.push_back(media.commands().size()); }, Qt::QueuedConnection);
    });
    QString fileName = QStringLiteral("v.avi");
    form.PlayAVIPictureBox(fileName, form.pic1);
    EXPECT_EQ(ranAfter, (std::vector<std::size_t>{1, 2, 3}));
}

TEST_F(PlayMedia, GetShortNameReturnsTheShortFormOrNothing) {
    const std::string tooLong(5000, 'a');
    media.shortPath("/a b/c.mp3", "/AB~1/C.MP3");
    media.shortPath("/missing.mp3", "");
    media.shortPath("/deep.mp3", tooLong);
    EXPECT_EQ(f.GetShortName(QStringLiteral("/a b/c.mp3")), QStringLiteral("/AB~1/C.MP3"));
    EXPECT_EQ(f.GetShortName(QStringLiteral("/missing.mp3")), QString());
    EXPECT_EQ(f.GetShortName(QStringLiteral("/deep.mp3")), QString::fromStdString(tooLong))
        << "the buffer grows to the size the service asks for";
    EXPECT_TRUE(media.commands().empty());
}

TEST_F(PlayMedia, APathLongerThanPathMaxStillOpens) {
    // Deep folders may pass PATH_MAX, and a short form may be longer than its path.
    const std::string deep = "/m/" + std::string(5000, 'd') + "/v.avi";
    media.shortPath(deep, deep + "-short");
    QString fileName = QString::fromStdString(deep);
    form.PlayAVIPictureBox(fileName, form.pic1);
    EXPECT_EQ(fileName.toStdString(), deep + "-short");
    EXPECT_EQ(media.commands().at(0), openCommand(deep + "-short"));
}

} // namespace
