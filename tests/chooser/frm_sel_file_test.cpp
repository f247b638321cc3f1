// SPDX-License-Identifier: GPL-3.0-or-later
#include "chooser/frm_sel_file.h"
#include "frm_sel_file_access.h"
#include "platform/toolkit/app.h"
#include "platform/toolkit/dialogs.h"
#include "platform/toolkit/screen.h"
#include "player/form1_access.h"
#include "support/recording_media_service.h"
#include "support/test_paths.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTest>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tk = tovimo::tk;
using tovimo::chooser::FrmSelFile;
using tovimo::chooser::FrmSelFileAccess;
using tovimo::testing::TempFolder;

namespace {

struct EndCalled {};

void makeFile(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

void doubleClickRow(QListWidget& list, int row) {
    const QPoint centre = list.visualItemRect(list.item(row)).center();
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
}

// tmp/videos/{clip.avi, intro.mp4, sub/inside.wav}, tmp/music/song.mid and
// tmp/vol/inner, where tmp/vol stands in for a second volume.
class Chooser : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"videos/sub", "music", "vol/inner"})
            ASSERT_TRUE(QDir(tmp.path()).mkpath(QString::fromUtf8(sub)));
        for (const char* name :
             {"videos/clip.avi", "videos/intro.mp4", "videos/sub/inside.wav", "music/song.mid"})
            makeFile(tmp.file(QString::fromUtf8(name)));
        tk::setMsgBoxHookForTesting([this](const QString& text, const QString& title, const QString&) {
            messages.append(title + QStringLiteral(": ") + text);
        });
        form = new FrmSelFile(target);
    }
    void TearDown() override {
        delete form.data();
        tk::setMsgBoxHookForTesting({});
        tk::App::setPrevInstanceForTesting(false);
        tk::App::setEndHandlerForTesting({});
    }
    QString path(const char* relative) const {
        return QDir::cleanPath(tmp.file(QString::fromUtf8(relative)));
    }
    void selectFile(const QString& name) {
        const QList<QListWidgetItem*> found = form->File1.findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        form->File1.setCurrentItem(found.first());
    }
    void openFolder(const char* relative) {
        form->Dir1.setPath(path(relative));
        ASSERT_EQ(form->File1.Path(), path(relative));
    }

    TempFolder tmp;
    tk::TextBox target{nullptr};
    QPointer<FrmSelFile> form;
    QStringList messages;
};

TEST_F(Chooser, WindowIsTheDesign) {
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Select"));
    EXPECT_FLOAT_EQ(form->ScaleWidth(), 6015);
    EXPECT_FLOAT_EQ(form->ScaleHeight(), 3090);
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(192, 192, 192));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "fixed single border";
    EXPECT_FALSE(form->windowFlags() & (Qt::WindowMaximizeButtonHint | Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_TRUE(form->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_FLOAT_EQ(form->Left(), (tk::Screen::Width() - form->Width()) / 2) << "centred until loaded";

    struct Row {
        tk::TwipsGeometry& geometry;
        QWidget& widget;
        float left, top, width, height;
    };
    const Row rows[] = {{form->Drive1, form->Drive1, 120, 120, 2055, 330},
                        {form->Dir1, form->Dir1, 120, 600, 2055, 2250},
                        {form->File1, form->File1, 2280, 200, 3615, 2610}};
    int tabIndex = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.widget.metaObject()->className());
        EXPECT_FLOAT_EQ(row.geometry.Left(), row.left);
        EXPECT_FLOAT_EQ(row.geometry.Top(), row.top);
        EXPECT_FLOAT_EQ(row.geometry.Width(), row.width);
        EXPECT_FLOAT_EQ(row.geometry.Height(), row.height);
        EXPECT_EQ(row.geometry.TabIndex(), tabIndex++);
        EXPECT_EQ(row.geometry.Font().family, QStringLiteral("Arial"));
        EXPECT_FLOAT_EQ(row.geometry.Font().pointSize, 8.25f);
        EXPECT_EQ(row.geometry.Font().charset, 178);
        EXPECT_EQ(row.widget.parentWidget(), form.data());
    }
    std::vector<QWidget*> tabOrder;
    for (QWidget* w = form->nextInFocusChain(); w != form.data(); w = w->nextInFocusChain())
        if (w == &form->Drive1 || w == &form->Dir1 || w == &form->File1)
            tabOrder.push_back(w);
    EXPECT_EQ(tabOrder, (std::vector<QWidget*>{&form->Drive1, &form->Dir1, &form->File1}));
}

TEST_F(Chooser, StartsAtTheCurrentFolderAndLoadsAtTopLeft100) {
    EXPECT_EQ(form->Dir1.Path(), QDir::currentPath());
    EXPECT_EQ(form->File1.Path(), QDir::currentPath());
    EXPECT_EQ(form->Drive1.Drive(), QDir::currentPath());
    form->Load();
    EXPECT_FLOAT_EQ(form->Top(), 100);
    EXPECT_FLOAT_EQ(form->Left(), 100);
}

TEST_F(Chooser, LoadEndsTheProgramWhenAnotherInstanceRuns) {
    tk::App::setPrevInstanceForTesting(true);
    tk::App::setEndHandlerForTesting([] { throw EndCalled{}; });
    const float centredTop = form->Top();
    EXPECT_THROW(form->Load(), EndCalled);
    EXPECT_FLOAT_EQ(form->Top(), centredTop) << "nothing after the end runs";
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Chooser, DoubleClickOnAFileWritesItsFullPathAndHidesTheWindow) {
    form->Show();
    openFolder("videos");
    doubleClickRow(form->File1, 0);
    EXPECT_EQ(target.Text(), path("videos/clip.avi"));
    EXPECT_EQ(FrmSelFileAccess{*form}.SelectedFilePath(), path("videos/clip.avi"));
    EXPECT_FALSE(form->isVisible());

    form->setTop(500);
    form->Show();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FLOAT_EQ(form->Top(), 500) << "shown again, not loaded again";
    EXPECT_EQ(form->Dir1.Path(), path("videos"));
    EXPECT_EQ(form->File1.FileName(), QStringLiteral("clip.avi"));
}

TEST_F(Chooser, OnlyEnterChoosesTheSelectedFile) {
    openFolder("videos");
    selectFile(QStringLiteral("intro.mp4"));
    for (std::int16_t key : {std::int16_t{10}, std::int16_t{40}, std::int16_t{77}, std::int16_t{0},
                             std::int16_t{-13}, std::int16_t{13 + 256}}) {
        FrmSelFileAccess{*form}.File1_KeyDown(key);
        EXPECT_EQ(target.Text(), QString()) << key;
    }
    FrmSelFileAccess{*form}.File1_KeyDown(13);
    EXPECT_EQ(target.Text(), path("videos/intro.mp4"));

    target.setText(QString());
    form->Show();
    QTest::keyClick(&form->File1, Qt::Key_Enter);
    EXPECT_EQ(target.Text(), path("videos/intro.mp4")) << "the keypad Enter too";
}

TEST_F(Chooser, ChoosingWithNoFileSelectedChangesNothing) {
    form->Show();
    openFolder("videos");
    target.setText(QStringLiteral("/before.avi"));
    QTest::keyClick(&form->File1, Qt::Key_Return);
    EXPECT_EQ(target.Text(), QStringLiteral("/before.avi"));
    EXPECT_TRUE(form->isVisible());
}

TEST_F(Chooser, EnterInTheFolderListShowsTheHighlightedFolderWithoutOpeningIt) {
    form->Show();
    openFolder("videos");
    const std::int16_t opened = form->Dir1.ListIndex();
    for (std::int16_t key : {std::int16_t{40}, std::int16_t{32}, std::int16_t{10}}) {
        form->Dir1.setCurrentRow(opened + 1);
        FrmSelFileAccess{*form}.Dir1_KeyDown(key);
        EXPECT_EQ(form->File1.Path(), path("videos")) << key;
    }

    form->Dir1.setCurrentRow(opened);
    QTest::keyClick(&form->Dir1, Qt::Key_Down); // onto "sub"
    QTest::keyClick(&form->Dir1, Qt::Key_Return);
    EXPECT_EQ(form->File1.Path(), path("videos/sub"));
    EXPECT_EQ(form->Dir1.Path(), path("videos")) << "the folder list keeps its folder";

    selectFile(QStringLiteral("inside.wav"));
    QTest::keyClick(&form->File1, Qt::Key_Return);
    EXPECT_EQ(target.Text(), path("videos/sub/inside.wav"));
}

TEST_F(Chooser, DriveFollowsTheFolderAcrossVolumes) {
    form->Drive1.setVolumes({QStringLiteral("/"), path("vol")});
    openFolder("vol/inner");
    EXPECT_EQ(form->Drive1.currentText(), path("vol"));
    EXPECT_EQ(form->Dir1.Path(), path("vol/inner")) << "the folder list stays where it was opened";

    openFolder("music");
    EXPECT_EQ(form->Drive1.currentText(), QStringLiteral("/"));
    EXPECT_EQ(form->Dir1.Path(), path("music"));
    EXPECT_EQ(form->File1.count(), 1);
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Chooser, PickingADriveOpensItsTopFolder) {
    form->Drive1.setVolumes({QStringLiteral("/"), path("vol")});
    openFolder("music");
    form->Show();
    QTest::keyClick(&form->Drive1, Qt::Key_Down);
    EXPECT_EQ(form->Dir1.Path(), path("vol"));
    EXPECT_EQ(form->File1.Path(), path("vol"));
}

TEST_F(Chooser, DriveThatCannotBeReadShowsErrorOnceAndLeavesTheListsAlone) {
    form->Drive1.setVolumes({QStringLiteral("/"), path("gone")});
    openFolder("videos");
    form->Show();
    QTest::keyClick(&form->Drive1, Qt::Key_Down);
    EXPECT_EQ(messages, QStringList{QStringLiteral("Tovimo: Error")});
    EXPECT_EQ(form->Drive1.currentText(), path("gone"));
    EXPECT_EQ(form->Dir1.Path(), path("videos"));
    EXPECT_EQ(form->File1.Path(), path("videos"));
    EXPECT_EQ(form->File1.count(), 2);
}

TEST_F(Chooser, FolderRemovedBeforeEnterShowsErrorAndKeepsTheFiles) {
    openFolder("videos");
    form->Dir1.setCurrentRow(form->Dir1.ListIndex() + 1); // "sub"
    ASSERT_TRUE(QDir(path("videos/sub")).removeRecursively());
    FrmSelFileAccess{*form}.Dir1_KeyDown(13);
    EXPECT_EQ(messages, QStringList{QStringLiteral("Tovimo: Error")});
    EXPECT_EQ(form->File1.Path(), path("videos"));
    EXPECT_EQ(form->File1.count(), 2);
}

TEST(ChooserFromThePlayer, OpenShowsItAndADoubleClickFillsThePathBox) {
    TempFolder tmp;
    makeFile(tmp.file(QStringLiteral("movie.avi")));
    tovimo::testing::RecordingMediaService media;
    tovimo::player::Form1 player(media, media);
    tovimo::player::Form1Access access(player);

    QTest::mouseClick(&player.Command1, Qt::LeftButton);
    FrmSelFile* chooser = access.selectFileWindow();
    ASSERT_NE(chooser, nullptr);
    EXPECT_TRUE(chooser->isVisible());
    chooser->Dir1.setPath(tmp.path());
    doubleClickRow(chooser->File1, 0);
    EXPECT_EQ(player.Text2.Text(), QDir::cleanPath(tmp.file(QStringLiteral("movie.avi"))));

    QPointer<FrmSelFile> closed = chooser;
    chooser->Show();
    chooser->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closed.isNull()) << "closing unloads it";
    QTest::mouseClick(&player.Command1, Qt::LeftButton);
    ASSERT_NE(access.selectFileWindow(), nullptr);
    EXPECT_EQ(access.selectFileWindow()->Dir1.Path(), QDir::currentPath()) << "loaded afresh";
}

TEST(ChooserFromThePlayer, ANameThatIsNotUtf8IsListedAndOpensByItsBytes) {
    TempFolder tmp;
    // Latin-1 "clip é.mp4" (a blank, so the short form is a URI) and a bare
    // invalid byte: neither is UTF-8, and neither survives a QString.
    const QByteArray folder = QFile::encodeName(QDir::cleanPath(tmp.path()));
    const QByteArray names[] = {QByteArray("clip \xe9.mp4"), QByteArray("x\xff.avi")};
    for (const QByteArray& name : names)
        ::close(::open((folder + '/' + name).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    tovimo::testing::RecordingMediaService media;
    tovimo::player::Form1 player(media, media);
    tovimo::player::Form1Access access(player);
    player.Timer1.setEnabled(false);
    QTest::mouseClick(&player.Command1, Qt::LeftButton);
    FrmSelFile* chooser = access.selectFileWindow();
    ASSERT_NE(chooser, nullptr);
    chooser->Dir1.setPath(tmp.path());
    ASSERT_EQ(chooser->File1.count(), 2);

    for (int row = 0; row < 2; ++row) {
        const QByteArray name =
            chooser->File1.item(row)->text().startsWith(QLatin1Char('c')) ? names[0] : names[1];
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(chooser->File1.item(row)->text().contains(QChar(QChar::ReplacementCharacter)));
        doubleClickRow(chooser->File1, row);
        EXPECT_EQ(player.Text2.NativeText(), folder + '/' + name);

        media.clear();
        QTest::mouseClick(&player.Command4, Qt::LeftButton);
        const std::string open = access.openCommand((folder + '/' + name).toStdString());
        EXPECT_EQ(media.commandsWithoutPolling().at(2), open);

        // Typing in the box gives up the kept bytes for what is typed.
        player.Text2.setText(player.Text2.Text() + QStringLiteral("x"));
        EXPECT_EQ(player.Text2.NativeText(), player.Text2.Text().toLocal8Bit());
    }
}

} // namespace
