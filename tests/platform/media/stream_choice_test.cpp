// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/playback_detail.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovimo::media {
namespace {

struct Stream {
    const char* id;
    GstStreamType type;
};

struct Case {
    const char* what;
    bool subtitleFile; // a subtitle file was given beside the media
    std::vector<Stream> streams;
    std::vector<std::string> chosen;
};

constexpr auto kVideo = GST_STREAM_TYPE_VIDEO;
constexpr auto kAudio = GST_STREAM_TYPE_AUDIO;
constexpr auto kText = GST_STREAM_TYPE_TEXT;

TEST(StreamChoice, TakesTheFirstOfEachKindAndTheSubtitleFilesText) {
    gst_init(nullptr, nullptr);
    const std::string sub = detail::streamIdOfUri("file:///films/film.srt");
    ASSERT_EQ(sub.size(), 64u) << sub;
    const std::string film = detail::streamIdOfUri("file:///films/film.mkv");
    const std::string subTwo = sub + "/002";
    const std::string v1 = film + "/001", v2 = film + "/002", a1 = film + "/003", a2 = film + "/004";
    const std::string t1 = film + "/005", t2 = film + "/006";
    // A stream whose id only starts like the file's is not the file's.
    const std::string lookalike = sub + "0/001";
    const Case cases[] = {
        {"the file's collection first",
         true,
         {{sub.c_str(), kText}, {v1.c_str(), kVideo}, {a1.c_str(), kAudio}},
         {v1, a1, sub}},
        {"the film's own subtitles before the file's",
         true,
         {{v1.c_str(), kVideo}, {a1.c_str(), kAudio}, {t1.c_str(), kText}, {sub.c_str(), kText}},
         {v1, a1, sub}},
        {"the file's first stream",
         true,
         {{v1.c_str(), kVideo}, {t1.c_str(), kText}, {subTwo.c_str(), kText}, {sub.c_str(), kText}},
         {v1, subTwo}},
        {"the file's streams not in yet",
         true,
         {{v1.c_str(), kVideo}, {a1.c_str(), kAudio}, {t1.c_str(), kText}, {lookalike.c_str(), kText}},
         {v1, a1}},
        {"the file's collection alone", true, {{sub.c_str(), kText}}, {sub}},
        {"no file beside it: the film's first",
         false,
         {{v2.c_str(), kVideo},
          {v1.c_str(), kVideo},
          {a2.c_str(), kAudio},
          {a1.c_str(), kAudio},
          {t2.c_str(), kText},
          {t1.c_str(), kText}},
         {v2, a2, t2}},
        // decodebin3's own choice is kept for these.
        {"no subtitles", true, {{v1.c_str(), kVideo}, {a1.c_str(), kAudio}}, {}},
        {"audio alone", false, {{a1.c_str(), kAudio}}, {}},
        {"nothing", true, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GstStreamCollection* collection = gst_stream_collection_new(nullptr);
        gst_object_ref_sink(collection);
        for (const Stream& s : c.streams)
            gst_stream_collection_add_stream(collection,
                                             gst_stream_new(s.id, nullptr, s.type, GST_STREAM_FLAG_NONE));
        EXPECT_EQ(detail::streamsToPlay(collection, c.subtitleFile ? sub : std::string()), c.chosen);
        gst_object_unref(collection);
    }
}

} // namespace
} // namespace tovimo::media
