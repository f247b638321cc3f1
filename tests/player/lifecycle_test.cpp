// SPDX-License-Identifier: GPL-3.0-or-later
#include "notice/form2.h"
#include "platform/toolkit/app.h"
#include "platform/toolkit/dialogs.h"
#include "platform/toolkit/events.h"
#include "platform/toolkit/screen.h"
#include "player/form1_access.h"
#include "support/recording_media_service.h"
#include "support/test_paths.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace player = tovimo::player;
namespace tk = tovimo::tk;
using Commands = std::vector<std::string>;

namespace {

tovimo::notice::Form2* shownNotice() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* notice = qobject_cast<tovimo::notice::Form2*>(widget); notice && notice->isVisible())
            return notice;
    return nullptr;
}

class Lifecycle : public ::testing::Test {
protected:
    Lifecycle() {
        tk::App::setPathForTesting(folder.path());
        tk::setMsgBoxHookForTesting(
            [this](const QString& text, const QString&, const QString&) { boxes.push_back(text); });
    }
    ~Lifecycle() override {
        tk::setTodayForTesting(std::nullopt);
        tk::setMsgBoxHookForTesting({});
        tk::App::setEndHandlerForTesting({});
        tk::App::setPathForTesting({});
    }

    tovimo::testing::TempFolder folder;
    std::vector<QString> boxes;
};

struct StartUp {
    bool noticeShown = false;
    bool playerShownMeanwhile = false;
    Commands sentMeanwhile;
    QSize noticeSize;
    bool closedByX = true;
    Commands sent;
};

// Loads a player on `date`; a shown notice is closed by its "X" after its
// state is noted.
StartUp startOn(QDate date) {
    tk::setTodayForTesting(date);
    tovimo::testing::RecordingMediaService media;
    player::Form1 form(media, media);
    StartUp result;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        tovimo::notice::Form2* notice = shownNotice();
        if (!notice)
            return;
        if (result.noticeShown) { // the "X" did not close it: end the wait all the same
            result.closedByX = false;
            notice->Unload();
            return;
        }
        result.noticeShown = true;
        result.playerShownMeanwhile = form.isVisible();
        result.sentMeanwhile = media.commandsWithoutPolling();
        result.noticeSize = notice->size();
        QTest::mouseClick(&notice->Command1, Qt::LeftButton);
    });
    watch.start();
    player::Form1Access(form).Form_Load();
    watch.stop();
    result.sent = media.commandsWithoutPolling();
    return result;
}

TEST_F(Lifecycle, TheNoticeShowsFirstOnEveryFifthDayOfTheMonth) {
    for (int day = 1; day <= 31; ++day) {
        const StartUp start = startOn(QDate(2027, 1, day));
        const bool noticeDay = day % 5 == 0;
        EXPECT_EQ(start.noticeShown, noticeDay) << "day " << day;
        if (noticeDay) {
            EXPECT_FALSE(start.playerShownMeanwhile) << "day " << day;
            EXPECT_EQ(start.sentMeanwhile, Commands{}) << "day " << day;
            EXPECT_EQ(start.noticeSize, QSize(685, 361)) << "day " << day;
            EXPECT_TRUE(start.closedByX) << "day " << day;
        }
        EXPECT_EQ(start.sent, Commands{"close all"}) << "day " << day;
        EXPECT_EQ(shownNotice(), nullptr) << "day " << day;
    }
}

TEST_F(Lifecycle, LoadFillsFavouritesThenSizesCentresAndArrangesTheWindow) {
    tk::setTodayForTesting(QDate(2027, 1, 7));
    QFile file(folder.file(QStringLiteral("datadoc.tvq")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Trailer@@/media/trailer.mp4\r\n");
    file.close();
    tovimo::testing::RecordingMediaService media;
    media.answer("close all", {263, ""});
    player::Form1 form(media, media);
    int favouritesAtCloseAll = -1;
    media.onCommand([&](const std::string& command) {
        if (command == "close all")
            favouritesAtCloseAll = form.Combo2.count();
    });

    player::Form1Access(form).Form_Load();

    EXPECT_EQ(favouritesAtCloseAll, 1) << "favourites are loaded before the device is freed";
    EXPECT_EQ(form.Combo2.List(0), QStringLiteral("Trailer"));
    EXPECT_EQ(boxes, std::vector<QString>{QStringLiteral("Error loading the file")}) << "start-up goes on";
    EXPECT_FLOAT_EQ(form.Width(), 9855);
    EXPECT_FLOAT_EQ(form.Height(), 10155);
    EXPECT_FLOAT_EQ(form.Left(), tk::Screen::Width() / 2 - 9855.0f / 2);
    EXPECT_FLOAT_EQ(form.Top(), tk::Screen::Height() / 2 - 10155.0f / 2);
    EXPECT_FLOAT_EQ(form.pic1.Left(), 137.5f);
    EXPECT_FLOAT_EQ(form.pic1.Height(), 8240) << "from the design place of Play, less 400";
    EXPECT_FLOAT_EQ(form.Command4.Top(), 8645);

    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form, 10000));
    EXPECT_FLOAT_EQ(form.pic1.Height(), 8345) << "the first show applies the resize rule";
    EXPECT_EQ(form.pos(), QPoint(tk::twipsToPixelsX(form.Left()), tk::twipsToPixelsY(form.Top())));
}

// Closing the real window must free the device and then end the process at
// once. Runs in a child process, which reports what the service received by
// the time the program ended.
TEST_F(Lifecycle, ClosingWhilePlayingClosesTheDeviceBeforeTheProgramEnds) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto closeWhilePlaying = [] {
        tk::setTodayForTesting(QDate(2027, 1, 7));
        tovimo::testing::RecordingMediaService media;
        player::Form1 form(media, media);
        player::Form1Access access(form);
        access.Form_Load();
        form.Text2.setText(QStringLiteral("/media/clip.avi"));
        access.Command4_Click();
        form.Show();
        tk::App::setEndHandlerForTesting([&media] {
            std::string line;
            for (const std::string& command : media.commandsWithoutPolling())
                line += command + " | ";
            std::fprintf(stderr, "sent: %send\n", line.c_str());
        });
        form.close();
    };
    EXPECT_EXIT(closeWhilePlaying(), ::testing::ExitedWithCode(0),
                "Play Media \\| [^|]*\\| close all \\| end");
}

TEST_F(Lifecycle, AFailedCloseAtShutDownIsReportedAndTheProgramStillEnds) {
    struct Ended {};
    tk::App::setEndHandlerForTesting([] { throw Ended{}; });
    tovimo::testing::RecordingMediaService media;
    media.answer("close all", {263, ""});
    struct Closable : player::Form1 {
        using player::Form1::Form1;
        using player::Form1::Form_Unload;
    } form(media, media);
    std::int16_t cancel = 0;

    EXPECT_THROW(form.Form_Unload(cancel), Ended);

    EXPECT_EQ(media.commandsWithoutPolling(), Commands{"close all"});
    EXPECT_EQ(boxes, std::vector<QString>{QStringLiteral("Error loading the file")});
    EXPECT_EQ(cancel, 0);
}

} // namespace
