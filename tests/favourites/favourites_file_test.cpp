// SPDX-License-Identifier: GPL-3.0-or-later
#include "favourites/entry_text.h"
#include "favourites/favourites_file.h"

#include <gtest/gtest.h>

namespace fav = tovimo::favourites;
using Strings = std::vector<std::string>;

namespace {

TEST(FavouritesFile, SplitsAtEveryCrLfKeepingEmptyPieces) {
    const struct {
        std::string content;
        Strings pieces;
    } cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"\r\n", {"", ""}},
        {"\r\nSong@@C:\\a.mp3\r\nClip@@C:\\b.avi", {"", "Song@@C:\\a.mp3", "Clip@@C:\\b.avi"}},
        {"a\r\n\r\nb\r\n", {"a", "", "b", ""}},
        {"lone\nLF and lone\rCR", {"lone\nLF and lone\rCR"}},
        {"a\r\r\n\nb", {"a\r", "\nb"}},
        {"  ", {"  "}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.content));
        EXPECT_EQ(fav::splitLines(c.content), c.pieces);
    }
    EXPECT_EQ(fav::entriesOf({"", "a", "", "  ", "b", ""}), (Strings{"a", "  ", "b"}));
}

TEST(FavouritesFile, TitleEndsAtTheFirstSeparator) {
    const struct {
        std::string entry, title, path;
    } cases[] = {
        {"Song@@C:\\a.mp3", "Song", "C:\\a.mp3"},
        {"a@@b@@C:\\x.avi", "a", "b@@C:\\x.avi"},
        {"T@@", "T", ""},
        {"@@/m/x.ogg", "", "/m/x.ogg"},
        {"   @@p  ", "   ", "p  "},
        {"@@@", "", "@"},
        {"written by hand", "written by hand", "written by hand"},
        {"one @ sign", "one @ sign", "one @ sign"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        EXPECT_EQ(fav::titleOf(c.entry), c.title);
        EXPECT_EQ(fav::pathOf(c.entry), c.path);
    }
    EXPECT_EQ(fav::joinEntry("a@@b", "C:\\x.avi"), "a@@b@@C:\\x.avi");
}

TEST(FavouritesFile, RewriteTrimsOnlySpacesAndEndsEveryEntry) {
    const struct {
        std::string entry, trimmed;
    } trims[] = {
        {"  a b  ", "a b"}, {"\ta\t", "\ta\t"}, {" \t x \t ", "\t x \t"},
        {"   ", ""},        {"", ""},           {"\xa0x\xa0", "\xa0x\xa0"},
    };
    for (const auto& t : trims)
        EXPECT_EQ(fav::trimSpaces(t.entry), t.trimmed) << testing::PrintToString(t.entry);

    EXPECT_EQ(fav::rewrittenContent({}), "");
    EXPECT_EQ(fav::rewrittenContent({"  Song@@C:\\a.mp3 ", "Clip@@C:\\b.avi"}),
              "Song@@C:\\a.mp3\r\nClip@@C:\\b.avi\r\n");
    EXPECT_EQ(fav::rewrittenContent({"   @@p"}), "@@p\r\n");
}

TEST(FavouritesFile, OnlyCrLfBreaksAnEntry) {
    EXPECT_TRUE(fav::fitsOneLine("a\rb\nc\n\r"));
    EXPECT_FALSE(fav::fitsOneLine("title@@/media/a\r\nb.ogg"));
}

TEST(FavouritesText, Utf8IsShownAsSuchAndOtherBytesAsLatin1) {
    const struct {
        std::string bytes;
        QString shown;
    } cases[] = {
        {"Caf\xc3\xa9", QStringLiteral(u"Café")},
        {"Caf\xe9", QStringLiteral(u"Café")},
        {"\xe9t\xe9 \xc3\xa9", QStringLiteral(u"\u00e9t\u00e9 \u00c3\u00a9")}, // one bad byte: all Latin-1
        {"\xc3", QStringLiteral(u"\u00c3")},                                   // cut-off sequence
        {"\xef\xbb\xbfx", QStringLiteral(u"\ufeffx")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fav::displayText(c.bytes), c.shown) << testing::PrintToString(c.bytes);
    EXPECT_EQ(fav::storedBytes(QStringLiteral(u"Café")), "Caf\xc3\xa9");
}

} // namespace
