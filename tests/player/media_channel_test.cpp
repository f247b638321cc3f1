// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/toolkit/dialogs.h"
#include "support/form1_fixture.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace player = tovimo::player;
namespace tk = tovimo::tk;
using Commands = std::vector<std::string>;
using Answer = tovimo::testing::RecordingMediaService::Answer;

namespace {

class MediaChannel : public tovimo::testing::Form1Fixture {
protected:
    MediaChannel() {
        tk::setMsgBoxHookForTesting([this](const QString& text, const QString& title, const QString& detail) {
            boxes.push_back({text, title, detail});
        });
    }
    ~MediaChannel() override { tk::setMsgBoxHookForTesting({}); }

    struct Box {
        QString text, title, detail;
    };
    std::vector<Box> boxes;
};

TEST_F(MediaChannel, TransportCommandTexts) {
    struct Case {
        std::function<void(player::Form1Access&)> call;
        Commands sent;
    };
    const Case cases[] = {
        {[](auto& a) { a.StopMedia(); }, {"stop Media"}},
        {[](auto& a) { a.PauseMedia(); }, {"pause Media"}},
        {[](auto& a) { a.ResumeMedia(); }, {"resume Media"}},
        {[](auto& a) { a.SeekMedia(0); }, {"seek Media to 0", "play Media"}},
        {[](auto& a) { a.SeekMedia(75); }, {"seek Media to 75000", "play Media"}},
        {[](auto& a) { a.SeekMedia(-3); }, {"seek Media to -3000", "play Media"}},
        {[](auto& a) { a.SeekMedia(2147483); }, {"seek Media to 2147483000", "play Media"}},
        {[](auto& a) { a.SetMediaVolume(-5); }, {"setaudio Media Volume to 0"}},
        {[](auto& a) { a.SetMediaVolume(37); }, {"setaudio Media Volume to 370"}},
        {[](auto& a) { a.SetMediaVolume(100); }, {"setaudio Media Volume to 1000"}},
        {[](auto& a) { a.SetMediaVolume(150); }, {"setaudio Media Volume to 1000"}},
    };
    for (const Case& c : cases) {
        media.clear();
        c.call(f);
        EXPECT_EQ(media.commands(), c.sent);
    }
}

TEST_F(MediaChannel, TransportFailuresAreSilent) {
    media.answerAll(263); // no device open
    f.StopMedia();
    f.PauseMedia();
    f.SeekMedia(5);
    f.SetMediaVolume(10);
    EXPECT_EQ(media.commands().size(), 5u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MediaChannel, SeekOverflowIsRaisedBeforeAnythingIsSent) {
    EXPECT_THROW(f.SeekMedia(2147484), std::overflow_error);
    EXPECT_THROW(f.SeekMedia(-2147484), std::overflow_error);
    EXPECT_TRUE(media.commands().empty());
}

TEST_F(MediaChannel, StatusRepliesInWholeSeconds) {
    struct Case {
        const char* reply;
        std::int32_t seconds;
    };
    const Case cases[] = {
        {"125999", 125},
        {"999", 0},
        {"0", 0},
        {"", 0},
        {"abc", 0},
        {"12abc", 0},
        {"2147483647", 2147483},
        {"2147483648", 0},
        {" 5000 ", 5},
        {"1500.5", 1},
        {"-1999", -1},
        {"2500.5", 2},
        {"1e4", 10},
        {"-", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        media.answer("status Media length", {0, c.reply});
        media.answer("status Media position", {0, c.reply});
        EXPECT_EQ(f.MediaLength(), c.seconds);
        EXPECT_EQ(form.MediaPosition(), c.seconds);
    }
    media.answer("status Media Volume", {0, "1000"});
    EXPECT_EQ(f.MediaVolume(), 100);
    media.answer("status Media Volume", {0, "999"});
    EXPECT_EQ(f.MediaVolume(), 99);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(MediaChannel, PositionAndVolumeShareOneReplyBufferThatKeepsItsContent) {
    const Answer silent{0, {}, false}; // the service writes nothing
    media.answer("status Media position", silent);
    EXPECT_EQ(form.MediaPosition(), 0) << "before any reply the buffer holds only NULs";

    media.answer("status Media position", {0, "42000"});
    EXPECT_EQ(form.MediaPosition(), 42);
    media.answer("status Media position", silent);
    EXPECT_EQ(form.MediaPosition(), 42) << "the last position reply is read again";

    media.answer("status Media Volume", {0, "1000"});
    EXPECT_EQ(f.MediaVolume(), 100);
    EXPECT_EQ(form.MediaPosition(), 1) << "the volume reply is read as a position";

    media.answer("status Media length", silent);
    EXPECT_EQ(f.MediaLength(), 0) << "the length query has a fresh buffer of its own";

    // A failed query leaves the shared reply as it was, as the service does:
    // the position reads the stale volume reply again.
    media.answer("status Media position", {263, {}});
    EXPECT_EQ(form.MediaPosition(), 1);
}

TEST_F(MediaChannel, SendMediaCommandReportsFailureOnlyWhenAsked) {
    EXPECT_FALSE(f.SendMediaCommand(QStringLiteral("close all"), true));
    EXPECT_TRUE(boxes.empty());

    media.answer("close all", {277, {}});
    EXPECT_TRUE(f.SendMediaCommand(QStringLiteral("close all"), false));
    EXPECT_TRUE(boxes.empty());

    EXPECT_TRUE(f.SendMediaCommand(QStringLiteral("close all"), true));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, QStringLiteral("Error loading the file"));
    EXPECT_EQ(boxes[0].title, QStringLiteral("Tovimo"));
    EXPECT_EQ(boxes[0].detail, QStringLiteral("error 277")) << "the service's text for the code";
    EXPECT_EQ(media.errorStringRequests, std::vector<std::uint32_t>{277});
    EXPECT_EQ(media.commands(), (Commands{"close all", "close all", "close all"}));
}

TEST_F(MediaChannel, DestinationQueryReadsFourFields) {
    struct Case {
        const char* reply;
        std::int32_t left, top, width, height;
    };
    const Case cases[] = {
        {"0 0 352 240", 0, 0, 352, 240},
        {"10.5 11.5 x 7junk", 10, 12, 0, 7},
        {"1  2 3 4", 1, 0, 2, 3},             // two blanks make an empty field
        {"8 -2 640 480 99", 8, -2, 640, 480}, // fields after the fourth are ignored
        {"  8 -2 640 480", 0, 0, 8, -2},      // leading blanks are empty fields too
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        // Stale bytes after the reply's NUL must not leak into the last field.
        f.DestinationReply().fill('9');
        media.answer("Where Media Destination", {0, c.reply});
        std::int32_t l = -1, t = -1, w = -1, h = -1;
        EXPECT_EQ(form.IMultimediaClass_GetCurrentDisplaySize(l, t, w, h), 0);
        EXPECT_EQ(std::vector<std::int32_t>({l, t, w, h}),
                  std::vector<std::int32_t>({c.left, c.top, c.width, c.height}));
    }
}

TEST_F(MediaChannel, DestinationQueryFailures) {
    std::int32_t l = 1, t = 2, w = 3, h = 4;
    media.answer("Where Media Destination", {263, {}});
    EXPECT_EQ(form.IMultimediaClass_GetCurrentDisplaySize(l, t, w, h), 263);
    EXPECT_EQ(std::vector<std::int32_t>({l, t, w, h}), std::vector<std::int32_t>({1, 2, 3, 4}));

    f.DestinationReply().fill('\0');
    media.answer("Where Media Destination", {0, "5 6 7"});
    EXPECT_THROW(form.IMultimediaClass_GetCurrentDisplaySize(l, t, w, h), std::out_of_range);
    EXPECT_EQ(std::vector<std::int32_t>({l, t, w, h}), std::vector<std::int32_t>({5, 6, 7, 4}));
    EXPECT_TRUE(boxes.empty());
}

} // namespace
