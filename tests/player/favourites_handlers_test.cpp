// SPDX-License-Identifier: GPL-3.0-or-later
#include "favourites/favourites_store.h"
#include "platform/toolkit/app.h"
#include "platform/toolkit/dialogs.h"
#include "player/form1_access.h"
#include "support/recording_media_service.h"
#include "support/small_file_system.h"
#include "support/test_paths.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <cstdlib>
#include <deque>
#include <gtest/gtest.h>
#include <memory>

namespace tk = tovimo::tk;
namespace fav = tovimo::favourites;
using tovimo::player::Form1;
using tovimo::player::Form1Access;
using tovimo::testing::TempFolder;
using Strings = std::vector<std::string>;

namespace {

std::string fileBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll().toStdString();
}

void writeFile(const QString& path, const std::string& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

Strings itemsOf(const tk::ComboBox& box) {
    Strings items;
    for (int i = 0; i < box.count(); ++i)
        items.push_back(box.itemText(i).toStdString());
    return items;
}

// One player window whose program folder is a fresh temporary folder; the
// input box answers from `titles`, message boxes are recorded.
class Favourites : public ::testing::Test {
protected:
    Favourites() {
        tk::App::setPathForTesting(folder.path());
        tk::setInputBoxHookForTesting([this](const QString& prompt, const QString& title,
                                             const QString& text) {
            inputBoxes.push_back((prompt + QLatin1Char('|') + title + QLatin1Char('|') + text).toStdString());
            if (titles.empty())
                return QString();
            const QString answer = QString::fromStdString(titles.front());
            titles.pop_front();
            return answer;
        });
        tk::setMsgBoxHookForTesting([this](const QString& text, const QString&, const QString&) {
            messages.push_back(text.toStdString());
        });
    }
    ~Favourites() override {
        tk::setInputBoxHookForTesting({});
        tk::setMsgBoxHookForTesting({});
        tk::App::setPathForTesting({});
        fav::failReplaceAtForTesting(std::nullopt);
    }

    Form1& window() {
        if (!form)
            form = std::make_unique<Form1>(media, media);
        return *form;
    }
    Form1Access access() { return Form1Access(window()); }
    QString favouritesFile() const { return folder.file(QStringLiteral("datadoc.tvq")); }

    // What the user does: type a path, press "+", answer the input box.
    void add(const std::string& title, const std::string& path) {
        window().Text2.setText(QString::fromStdString(path));
        titles.push_back(title);
        window().Command5.click();
    }
    // Choose a title in the list, as the drop-down does.
    void choose(int index) {
        window().Combo2.setCurrentIndex(index);
        emit window().Combo2.activated(index);
    }
    void remove(int index) {
        choose(index);
        window().Command6.click();
    }
    void expectParallelLists(const Strings& entries, const Strings& titles) {
        EXPECT_EQ(itemsOf(window().Combo1), entries);
        EXPECT_EQ(itemsOf(window().Combo2), titles);
    }

    TempFolder folder;
    tovimo::testing::RecordingMediaService media;
    std::unique_ptr<Form1> form;
    std::deque<std::string> titles;
    Strings inputBoxes;
    Strings messages;
};

TEST_F(Favourites, ReloadSplitsTheFileAndShowsOneTitlePerEntry) {
    const struct {
        const char* name;
        const char* content; // nullptr: no file
        Strings lines, entries, titles;
    } cases[] = {
        {"missing file", nullptr, {}, {}, {}},
        {"empty file", "", {}, {}, {}},
        {"one add", "\r\nSong@@C:\\a.mp3", {"", "Song@@C:\\a.mp3"}, {"Song@@C:\\a.mp3"}, {"Song"}},
        {"blank lines, spaces and a hand-written line",
         "\r\n\r\nA@@1\r\n  \r\nno separator\r\n",
         {"", "", "A@@1", "  ", "no separator", ""},
         {"A@@1", "  ", "no separator"},
         {"A", "  ", "no separator"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(favouritesFile());
        if (c.content)
            writeFile(favouritesFile(), c.content);
        access().ReloadFavourites();
        EXPECT_EQ(access().FavouriteLines(), c.lines);
        EXPECT_EQ(access().FavouriteLast(), static_cast<std::int32_t>(c.lines.size()) - 1);
        expectParallelLists(c.entries, c.titles);
    }
    choose(2);
    EXPECT_EQ(window().Text2.Text(), QStringLiteral("no separator"))
        << "a line without separator is its own path";
    EXPECT_EQ(fileBytes(favouritesFile()), "\r\n\r\nA@@1\r\n  \r\nno separator\r\n")
        << "reading changes nothing";
    EXPECT_TRUE(messages.empty());
}

TEST_F(Favourites, AddsAndRemovalsWriteTheFileToTheByte) {
    enum Op { Type, Add, Remove, Choose };
    struct Step {
        Op op;
        std::string title; // Add: the title typed into the input box; Type: into Combo2
        std::string path;  // Add: the text of Text2; Choose: the expected Text2
        int index = 0;     // Remove, Choose
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
        std::string bytes;
        Strings titles;
    } cases[] = {
        {"two adds to a missing file",
         {{Add, "Song", "C:\\a.mp3"}, {Add, "Clip", "C:\\b.avi"}},
         "\r\nSong@@C:\\a.mp3\r\nClip@@C:\\b.avi",
         {"Song", "Clip"}},
        {"a title holding the separator is refused", {{Add, "a@@b", "C:\\x.avi"}}, "<missing>", {}},
        {"a title of spaces loses them at the next removal",
         {{Add, "   ", "p"}, {Add, "B", "q"}, {Remove, "", "", 1}, {Add, "C", "r"}},
         "@@p\r\n\r\nC@@r",
         {"", "C"}},
        {"an empty path under a title typed into the list",
         {{Type, "typed", ""}, {Add, "T", ""}, {Choose, "", "", 0}},
         "\r\nT@@",
         {"T"}},
        {"the same path twice",
         {{Add, "x", "/m/a.ogg"}, {Add, "x", "/m/a.ogg"}},
         "\r\nx@@/m/a.ogg\r\nx@@/m/a.ogg",
         {"x", "x"}},
        {"removing the only favourite", {{Add, "x", "/m/a.ogg"}, {Remove, "", "", 0}}, "", {}},
        {"choosing copies trailing spaces, a removal trims them",
         {{Add, " lead", "/m/a.ogg  "},
          {Choose, "", "/m/a.ogg  ", 0},
          {Add, "gone", "/b"},
          {Remove, "", "", 1}},
         "lead@@/m/a.ogg\r\n",
         {"lead"}}, // the lists show the file as written
        {"order survives a removal and a later add",
         {{Add, "1", "/a"},
          {Add, "2", "/b"},
          {Add, "3", "/c"},
          {Remove, "", "", 1},
          {Add, "4", "/d"},
          {Choose, "", "/d", 2}},
         "1@@/a\r\n3@@/c\r\n\r\n4@@/d",
         {"1", "3", "4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        QFile::remove(favouritesFile());
        access().ReloadFavourites();
        for (const Step& step : c.steps) {
            switch (step.op) {
            case Add:
                add(step.title, step.path);
                break;
            case Remove:
                remove(step.index);
                break;
            case Choose:
                choose(step.index);
                EXPECT_EQ(window().Text2.Text().toStdString(), step.path);
                break;
            case Type:
                window().Combo2.setText(QString::fromStdString(step.title));
                break;
            }
        }
        EXPECT_EQ(fileBytes(favouritesFile()), c.bytes);
        EXPECT_EQ(itemsOf(window().Combo2), c.titles);
        EXPECT_EQ(window().Combo1.count(), window().Combo2.count());
    }
    EXPECT_EQ(messages, Strings{"A favourite's title cannot hold \"@@\" or end in \"@\"."});
}

TEST_F(Favourites, EntriesInAnotherCodePageKeepTheirBytes) {
    // Latin-1 bytes, which are not UTF-8; 0xA0 is no space to trim.
    writeFile(favouritesFile(), "\r\nCaf\xe9@@/m/\xe9t\xe9.ogg\r\nZ\xfc\xdf@@/x\r\n  \xa0Keep\xa0  @@/y  ");
    access().ReloadFavourites();
    EXPECT_EQ(window().Combo2.itemText(0), QStringLiteral(u"Café"));
    EXPECT_EQ(window().Combo2.itemText(1), QStringLiteral(u"Züß"));
    choose(0);
    EXPECT_EQ(window().Text2.Text(), QStringLiteral(u"/m/été.ogg"));

    remove(1);
    EXPECT_EQ(fileBytes(favouritesFile()), "Caf\xe9@@/m/\xe9t\xe9.ogg\r\n\xa0Keep\xa0  @@/y\r\n");
    EXPECT_EQ(window().Combo1.count(), 2);
    EXPECT_EQ(window().Combo2.count(), 2);
}

TEST_F(Favourites, NothingHappensWithoutTextTitleOrSelection) {
    writeFile(favouritesFile(), "\r\nA@@/a");
    access().ReloadFavourites();

    window().Command5.click(); // both Text2 and Combo2 empty
    EXPECT_TRUE(inputBoxes.empty());

    window().Text2.setText(QStringLiteral("/m/b.ogg"));
    window().Command5.click(); // input box cancelled
    EXPECT_EQ(inputBoxes, Strings{"Title:|Add to favorites|"});

    window().Combo2.setText({});
    window().Command6.click(); // no title in the list
    window().Combo2.setText(QStringLiteral("A typed, not chosen"));
    window().Command6.click();

    EXPECT_EQ(fileBytes(favouritesFile()), "\r\nA@@/a");
    expectParallelLists({"A@@/a"}, {"A"});
    EXPECT_EQ(window().Text2.Text(), QStringLiteral("/m/b.ogg"));
    EXPECT_TRUE(messages.empty());
}

TEST_F(Favourites, TypedTextIsNeverAChoice) {
    // Typing picks nothing: no completion, no Click, nothing for X to remove.
    const std::string content = "\r\nClip@@/m/clip.mp4\r\nSong@@/m/song.mp3";
    const struct {
        const char* typed;
        bool enter;
    } cases[] = {{"s", false}, {"Song", false}, {"Song", true}, {"Clip", true}};
    window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window()));
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + (c.enter ? " + Enter" : ""));
        writeFile(favouritesFile(), content);
        access().ReloadFavourites();
        window().Text2.setText(QStringLiteral("/m/typed.ogg"));
        window().Combo2.setText({});
        window().activateWindow();
        window().Combo2.setFocus();
        QTest::keyClicks(&window().Combo2, QString::fromLatin1(c.typed));
        if (c.enter)
            QTest::keyClick(&window().Combo2, Qt::Key_Return);
        window().Text2.setFocus();
        QCoreApplication::processEvents();
        EXPECT_EQ(window().Combo2.Text().toStdString(), c.typed) << "no completion";
        EXPECT_EQ(window().Combo2.ListIndex(), -1);
        EXPECT_EQ(window().Text2.Text().toStdString(), "/m/typed.ogg") << "no Click";
        window().Command6.click();
        EXPECT_EQ(fileBytes(favouritesFile()), content);
        expectParallelLists({"Clip@@/m/clip.mp4", "Song@@/m/song.mp3"}, {"Clip", "Song"});
    }
    // The keys in the closed box still choose, as the toolkit's combo box does.
    window().Combo2.setFocus();
    QTest::keyClick(&window().Combo2, Qt::Key_Down);
    EXPECT_EQ(window().Combo2.ListIndex(), 0);
    EXPECT_EQ(window().Text2.Text(), QStringLiteral("/m/clip.mp4"));
}

TEST_F(Favourites, TwoPlayersSideBySideKeepEachOthersEntries) {
    writeFile(favouritesFile(), "\r\nOne@@/1\r\nTwo@@/2");
    access().ReloadFavourites();
    Form1 other(media, media);
    Form1Access otherAccess(other);
    otherAccess.ReloadFavourites();

    other.Text2.setText(QStringLiteral("/b"));
    titles.push_back("FromB");
    other.Command5.click();
    remove(0); // this player still shows [One, Two]
    EXPECT_EQ(fileBytes(favouritesFile()), "Two@@/2\r\nFromB@@/b\r\n");
    expectParallelLists({"Two@@/2", "FromB@@/b"}, {"Two", "FromB"});

    // The other player still shows One, which is gone: removing it removes nothing.
    other.Combo2.setCurrentIndex(0);
    emit other.Combo2.activated(0);
    other.Command6.click();
    EXPECT_EQ(fileBytes(favouritesFile()), "Two@@/2\r\nFromB@@/b\r\n");
    EXPECT_EQ(itemsOf(other.Combo2), (Strings{"Two", "FromB"}));
    EXPECT_TRUE(messages.empty());
}

TEST_F(Favourites, ATitleHoldingTheSeparatorIsRefused) {
    for (const char* title : {"Best@@of", "Best of @", "@@"})
        add(title, "/m/best.mp4");
    EXPECT_EQ(messages, Strings(3, "A favourite's title cannot hold \"@@\" or end in \"@\"."));
    EXPECT_EQ(fileBytes(favouritesFile()), "<missing>");
    add("@ Best @ of", "/m/best.mp4");
    EXPECT_EQ(fileBytes(favouritesFile()), "\r\n@ Best @ of@@/m/best.mp4");
}

TEST_F(Favourites, AFailedAddTellsTheUserAndChangesNothing) {
    writeFile(favouritesFile(), "\r\nA@@/a");
    access().ReloadFavourites();
    choose(0);

    fav::failReplaceAtForTesting(fav::ReplaceStep::Write);
    add("B", "/b");
    fav::failReplaceAtForTesting(std::nullopt);
    add("line\r\nbreak", "/c");

    EXPECT_EQ(messages.size(), 2u);
    EXPECT_EQ(fileBytes(favouritesFile()), "\r\nA@@/a");
    expectParallelLists({"A@@/a"}, {"A"});
    EXPECT_EQ(window().Combo2.ListIndex(), 0);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"datadoc.tvq"});
}

TEST_F(Favourites, AnAddOnAFullDiskTellsTheUserAndKeepsTheFile) {
    const tovimo::testing::SmallFileSystem disk(folder.path(), 1024);
    if (!disk.mounted())
        GTEST_SKIP() << "cannot mount a tmpfs: " << disk.error().toStdString();
    const std::string old = "\r\nA@@/a.mkv\r\nB@@/b.mkv\r\nC@@/c.mkv";
    writeFile(favouritesFile(), old);
    access().ReloadFavourites();
    ASSERT_TRUE(disk.fill(QStringLiteral("filler")));

    add("D", "/d.mkv");
    EXPECT_EQ(messages, Strings{"The favourite could not be saved."});
    EXPECT_EQ(fileBytes(favouritesFile()), old);
    expectParallelLists({"A@@/a.mkv", "B@@/b.mkv", "C@@/c.mkv"}, {"A", "B", "C"});
    form.reset();
}

TEST_F(Favourites, AnAddNeverWritesOverAFileItCouldNotRead) {
    ASSERT_TRUE(QDir().mkpath(favouritesFile() + QStringLiteral("/inside")));
    access().ReloadFavourites();
    expectParallelLists({}, {});
    add("B", "/b");
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_TRUE(QFileInfo(favouritesFile() + QStringLiteral("/inside")).isDir());
    expectParallelLists({}, {});
}

TEST_F(Favourites, AFailedRemovalKeepsTheFileAndPutsTheListsBack) {
    writeFile(favouritesFile(), "\r\nA@@/a\r\n B @@/b");
    access().ReloadFavourites();

    fav::failReplaceAtForTesting(fav::ReplaceStep::Rename);
    remove(0);
    EXPECT_EQ(messages.size(), 1u);
    EXPECT_EQ(fileBytes(favouritesFile()), "\r\nA@@/a\r\n B @@/b");
    expectParallelLists({"A@@/a", " B @@/b"}, {"A", " B "});
    fav::failReplaceAtForTesting(std::nullopt);

    // A real failure: the file has become a folder, which a rename cannot replace.
    ASSERT_TRUE(QFile::remove(favouritesFile()));
    ASSERT_TRUE(QDir().mkpath(favouritesFile() + QStringLiteral("/inside")));
    remove(1);
    EXPECT_EQ(messages.size(), 2u);
    EXPECT_TRUE(QFileInfo(favouritesFile() + QStringLiteral("/inside")).isDir());
    expectParallelLists({}, {});
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

TEST_F(Favourites, TheFileLivesBesideTheProgramOrInTheDataHome) {
    EXPECT_EQ(window().favouritesFilePath(), favouritesFile());
    access().ReloadFavourites();
    tk::App::setPathForTesting(folder.file(QStringLiteral("elsewhere")));
    EXPECT_EQ(window().favouritesFilePath(), favouritesFile()) << "one path for the whole run";
    add("A", "/a");
    EXPECT_EQ(fileBytes(favouritesFile()), "\r\nA@@/a");

    // A program folder that cannot be written (it cannot even exist under a
    // plain file) sends the favourites to the data home, created on first add.
    writeFile(folder.file(QStringLiteral("plain")), "x");
    tk::App::setPathForTesting(folder.file(QStringLiteral("plain/bin")));
    const QByteArray savedDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.file(QStringLiteral("data"))));
    form.reset();
    const QString dataFile = folder.file(QStringLiteral("data/tovimo/datadoc.tvq"));
    EXPECT_EQ(window().favouritesFilePath(), dataFile);
    access().ReloadFavourites();
    expectParallelLists({}, {});
    add("B", "/b");
    EXPECT_EQ(fileBytes(dataFile), "\r\nB@@/b");
    expectParallelLists({"B@@/b"}, {"B"});
    if (savedDataHome.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", savedDataHome);
}

} // namespace
