// SPDX-License-Identifier: GPL-3.0-or-later
// Files dropped on the player window: a local file's path goes into Text2
// and nothing plays; every other drop is refused.
#include "player/file_drop.h"
#include "player/form1.h"
#include "support/recording_media_service.h"
#include "support/test_paths.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace player = tovimo::player;

namespace {

class FileDrop : public ::testing::Test {
protected:
    FileDrop() {
        QFile(clip).open(QIODevice::WriteOnly);
        QFile(other).open(QIODevice::WriteOnly);
        player::acceptFileDrops(form);
        form.Text2.setText(QStringLiteral("typed"));
    }

    static QMimeData* urls(const QList<QUrl>& list) {
        auto* data = new QMimeData;
        data->setUrls(list);
        return data;
    }
    // Drags `data` over `target` and drops it there, as Qt delivers it to the
    // widget that takes drops under the pointer. True when the drop is taken.
    static bool dragAndDrop(QWidget& target, QMimeData* data) {
        const QPoint point = target.rect().center();
        QDragEnterEvent enter(point, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&target, &enter);
        QDropEvent drop(point, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&target, &drop);
        const bool taken = enter.isAccepted() && drop.isAccepted();
        delete data;
        return taken;
    }

    tovimo::testing::TempFolder folder;
    const QString clip = folder.file(QStringLiteral("a clip #1.mkv"));
    const QString other = folder.file(QStringLiteral("other.mp3"));
    tovimo::testing::RecordingMediaService media;
    player::Form1 form{media, media};
};

TEST_F(FileDrop, ALocalFileGoesIntoThePathBoxWithoutPlaying) {
    EXPECT_TRUE(form.acceptDrops()) << "drops on the picture and the buttons reach the window";
    for (QWidget* target : {static_cast<QWidget*>(&form.Text2), static_cast<QWidget*>(&form)}) {
        form.Text2.setText(QStringLiteral("typed"));
        EXPECT_TRUE(dragAndDrop(*target, urls({QUrl::fromLocalFile(clip), QUrl::fromLocalFile(other)})));
        EXPECT_EQ(form.Text2.Text(), clip) << "the first file";
    }
    EXPECT_EQ(media.commands(), std::vector<std::string>{});
}

TEST_F(FileDrop, OtherDropsAreRefused) {
    auto text = [] {
        auto* data = new QMimeData;
        data->setText(QStringLiteral("some text"));
        return data;
    };
    const std::pair<const char*, std::function<QMimeData*()>> cases[] = {
        {"text", text},
        {"folder", [&] { return urls({QUrl::fromLocalFile(folder.path())}); }},
        {"missing file",
         [&] { return urls({QUrl::fromLocalFile(folder.file(QStringLiteral("gone.mkv")))}); }},
        {"remote", [] { return urls({QUrl(QStringLiteral("https://example.org/clip.mkv"))}); }},
        {"remote first",
         [&] {
             return urls({QUrl(QStringLiteral("sftp://host/a.mkv")), QUrl::fromLocalFile(clip)});
         }},
        {"nothing", [] { return new QMimeData; }},
    };
    for (const auto& [name, make] : cases)
        for (QWidget* target : {static_cast<QWidget*>(&form.Text2), static_cast<QWidget*>(&form)}) {
            EXPECT_FALSE(dragAndDrop(*target, make())) << name;
            EXPECT_EQ(form.Text2.Text(), QStringLiteral("typed")) << name;
        }
}

TEST_F(FileDrop, OnlyALocalFileIsReadFromTheData) {
    std::unique_ptr<QMimeData> data(urls({QUrl::fromLocalFile(clip)}));
    EXPECT_EQ(player::droppedLocalFile(*data), clip);
    data->setUrls({});
    EXPECT_EQ(player::droppedLocalFile(*data), std::nullopt);
}

} // namespace
