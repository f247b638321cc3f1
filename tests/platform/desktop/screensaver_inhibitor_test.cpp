// SPDX-License-Identifier: GPL-3.0-or-later
// The inhibitor against stand-in services on a private session bus.
#include "platform/desktop/screensaver_inhibitor.h"
#include "session_bus_fixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace desktop = tovimo::desktop;
using desktop::testing::heldInhibitions;
using desktop::testing::ReceivedCall;
using State = desktop::ScreenSaverInhibitor::State;

const QString kScreenSaver = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kSessionManager = QStringLiteral("org.gnome.SessionManager");
const QString kPortal = QStringLiteral("org.freedesktop.portal.Desktop");

namespace {

class Inhibitor : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus.started()) << "dbus-daemon did not start"; }

    // Lets the bus deliver calls and answers for a while.
    static void settle() { QTest::qWait(200); }

    desktop::testing::PrivateSessionBus bus;
};

TEST_F(Inhibitor, HoldsTheScreenSaverWhileAskedAndReturnsItsCookie) {
    desktop::testing::StandInScreenSaver screenSaver;
    ASSERT_TRUE(screenSaver.registerOn(bus.connect()));
    desktop::ScreenSaverInhibitor inhibitor(bus.connect());

    for (uint cookie : {1u, 2u}) {
        inhibitor.setInhibited(true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return inhibitor.holdsInhibition(); }, 5000));
        inhibitor.setInhibited(true); // asking again holds no second one
        settle();
        inhibitor.setInhibited(false);
        ASSERT_TRUE(QTest::qWaitFor([&] { return screenSaver.calls.size() == 2 * cookie; }, 5000));
        const ReceivedCall& inhibit = screenSaver.calls.at(2 * cookie - 2);
        EXPECT_EQ(inhibit.method, QStringLiteral("Inhibit"));
        EXPECT_EQ(inhibit.arguments,
                  (QVariantList{QStringLiteral("Tovimo"), QStringLiteral("Playing video")}));
        const ReceivedCall& release = screenSaver.calls.at(2 * cookie - 1);
        EXPECT_EQ(release.method, QStringLiteral("UnInhibit"));
        EXPECT_EQ(release.arguments, QVariantList{cookie});
        EXPECT_FALSE(inhibitor.holdsInhibition());
    }
}

TEST_F(Inhibitor, ChangesWhileACallIsUnderWayEndInTheLastOneAsked) {
    desktop::testing::StandInScreenSaver screenSaver;
    ASSERT_TRUE(screenSaver.registerOn(bus.connect()));
    desktop::ScreenSaverInhibitor inhibitor(bus.connect());

    inhibitor.setInhibited(true);
    inhibitor.setInhibited(false);
    settle();
    EXPECT_EQ(heldInhibitions(screenSaver), 0);
    EXPECT_FALSE(inhibitor.holdsInhibition());

    inhibitor.setInhibited(true);
    inhibitor.setInhibited(false);
    inhibitor.setInhibited(true);
    settle();
    EXPECT_EQ(heldInhibitions(screenSaver), 1);
    EXPECT_TRUE(inhibitor.holdsInhibition());
}

TEST_F(Inhibitor, FallsBackToTheSessionManagerWithTheIdleFlag) {
    desktop::testing::StandInSessionManager sessionManager;
    ASSERT_TRUE(sessionManager.registerOn(bus.connect()));
    desktop::ScreenSaverInhibitor inhibitor(bus.connect());
    inhibitor.setToplevelWindow(77);

    inhibitor.setInhibited(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return inhibitor.holdsInhibition(); }, 5000));
    inhibitor.setInhibited(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sessionManager.calls.size() == 2; }, 5000));
    EXPECT_EQ(sessionManager.calls[0].method, QStringLiteral("Inhibit"));
    EXPECT_EQ(sessionManager.calls[0].arguments,
              (QVariantList{QStringLiteral("Tovimo"), 77u, QStringLiteral("Playing video"), 8u}));
    EXPECT_EQ(sessionManager.calls[1].method, QStringLiteral("Uninhibit"));
    EXPECT_EQ(sessionManager.calls[1].arguments, QVariantList{1u});
}

TEST_F(Inhibitor, WithoutAServiceOrABusNothingIsHeld) {
    desktop::ScreenSaverInhibitor noService(bus.connect());
    desktop::ScreenSaverInhibitor noBus(QDBusConnection(QStringLiteral("no such connection")));
    for (desktop::ScreenSaverInhibitor* inhibitor : {&noService, &noBus}) {
        inhibitor->setInhibited(true);
        settle();
        EXPECT_FALSE(inhibitor->holdsInhibition());
        inhibitor->setInhibited(false);
        inhibitor->releaseNow();
    }
}

// A plain window-manager session: a bus, and none of the services. Each wish
// asks each service once, then nothing is sent until playback starts again.
TEST_F(Inhibitor, WithNoServiceEachIsAskedOncePerWish) {
    desktop::testing::BusMonitor monitor(bus.address());
    ASSERT_TRUE(monitor.started());
    desktop::ScreenSaverInhibitor inhibitor(bus.connect());
    for (int wish = 1; wish <= 2; ++wish) {
        inhibitor.setInhibited(true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return inhibitor.state() == State::Unavailable; }, 5000));
        inhibitor.setInhibited(true); // the same wish again: asks nothing
        QTest::qWait(1000);
        EXPECT_EQ(monitor.calls(kScreenSaver, QStringLiteral("Inhibit")), wish);
        EXPECT_EQ(monitor.calls(kSessionManager, QStringLiteral("Inhibit")), wish);
        EXPECT_EQ(monitor.calls(kPortal, QStringLiteral("Inhibit")), wish);
        EXPECT_EQ(inhibitor.state(), State::Unavailable);
        inhibitor.setInhibited(false);
        EXPECT_EQ(inhibitor.state(), State::Idle);
    }
}

TEST_F(Inhibitor, AServiceThatAppearsLaterIsAskedThen) {
    desktop::testing::BusMonitor monitor(bus.address());
    ASSERT_TRUE(monitor.started());
    desktop::ScreenSaverInhibitor inhibitor(bus.connect());
    inhibitor.setInhibited(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return inhibitor.state() == State::Unavailable; }, 5000));

    desktop::testing::StandInSessionManager sessionManager;
    ASSERT_TRUE(sessionManager.registerOn(bus.connect()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return inhibitor.holdsInhibition(); }, 5000));
    EXPECT_EQ(heldInhibitions(sessionManager), 1);

    desktop::testing::StandInScreenSaver screenSaver; // the first choice, but one is held already
    const QDBusConnection saverBus = bus.connect();
    ASSERT_TRUE(screenSaver.registerOn(saverBus));
    QTest::qWait(500);
    EXPECT_TRUE(screenSaver.calls.empty());
    EXPECT_EQ(monitor.calls(kScreenSaver, QStringLiteral("Inhibit")), 1);
    EXPECT_EQ(monitor.calls(kSessionManager, QStringLiteral("Inhibit")), 2);
    EXPECT_EQ(monitor.calls(kPortal, QStringLiteral("Inhibit")), 1);

    inhibitor.setInhibited(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return heldInhibitions(sessionManager) == 0; }, 5000));
    inhibitor.setInhibited(true); // a new wish starts with the first choice
    ASSERT_TRUE(QTest::qWaitFor([&] { return heldInhibitions(screenSaver) == 1; }, 5000));

    // The holder goes away: its inhibition went with it, and the next is asked.
    screenSaver.unregisterFrom(saverBus);
    ASSERT_TRUE(QTest::qWaitFor([&] { return heldInhibitions(sessionManager) == 1; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return inhibitor.holdsInhibition(); }, 5000));
}

// A screen saver that the bus starts for the call and that refuses and
// exits: it appears and goes while the call is under way, which must not
// make it a new candidate in the same wish.
TEST(ActivatableInhibitor, AServiceTheBusStartsIsAskedOncePerWish) {
    const QTemporaryDir services;
    ASSERT_TRUE(services.isValid());
    const QString starts = services.filePath(QStringLiteral("starts"));
    QFile serviceFile(services.filePath(QStringLiteral("org.freedesktop.ScreenSaver.service")));
    ASSERT_TRUE(serviceFile.open(QIODevice::WriteOnly));
    serviceFile.write(QStringLiteral("[D-BUS Service]\nName=org.freedesktop.ScreenSaver\nExec=%1 %2\n")
                          .arg(QStringLiteral(TOVIMO_REFUSING_SCREENSAVER), starts)
                          .toUtf8());
    serviceFile.close();
    desktop::testing::PrivateSessionBus bus(services.path());
    ASSERT_TRUE(bus.started()) << "dbus-daemon did not start";
    desktop::testing::BusMonitor monitor(bus.address());
    ASSERT_TRUE(monitor.started());

    desktop::ScreenSaverInhibitor inhibitor(bus.connect());
    for (int wish = 1; wish <= 2; ++wish) {
        inhibitor.setInhibited(true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return inhibitor.state() == State::Unavailable; }, 10000));
        // Its start and its end reach the inhibitor after the refusal.
        QTest::qWait(1000);
        EXPECT_EQ(monitor.calls(kScreenSaver, QStringLiteral("Inhibit")), wish);
        EXPECT_EQ(monitor.calls(kSessionManager, QStringLiteral("Inhibit")), wish);
        EXPECT_EQ(monitor.calls(kPortal, QStringLiteral("Inhibit")), wish);
        EXPECT_EQ(inhibitor.state(), State::Unavailable);
        inhibitor.setInhibited(false);
    }
    QFile started(starts);
    ASSERT_TRUE(started.open(QIODevice::ReadOnly));
    EXPECT_EQ(started.readAll(), QByteArray("started\nstarted\n"));
}

TEST_F(Inhibitor, ThePortalIsTheLastFallbackAndNamesTheWindow) {
    desktop::testing::StandInPortal portal;
    ASSERT_TRUE(portal.registerOn(bus.connect()));
    desktop::ScreenSaverInhibitor inhibitor(bus.connect());
    inhibitor.setToplevelWindow(0x4a0000b);

    inhibitor.setInhibited(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return inhibitor.holdsInhibition(); }, 5000));
    inhibitor.setInhibited(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return portal.calls.size() == 2; }, 5000));
    EXPECT_EQ(portal.calls[0].method, QStringLiteral("Inhibit"));
    EXPECT_EQ(portal.calls[0].arguments,
              (QVariantList{QStringLiteral("x11:4a0000b"), 8u,
                            QVariantMap{{QStringLiteral("reason"), QStringLiteral("Playing video")}}}));
    EXPECT_EQ(portal.calls[1].method, QStringLiteral("Close"));
    EXPECT_EQ(portal.calls[1].arguments,
              QVariantList{QStringLiteral("/org/freedesktop/portal/desktop/request/1_1/t1")});
}

// A screen saver that hangs must not hold the player's exit.
TEST_F(Inhibitor, ReleasingBeforeTheEndIsBoundedWhateverTheScreenSaverDoes) {
    for (const bool answersInhibit : {false, true}) {
        desktop::testing::PrivateSessionBus ownBus;
        desktop::testing::StandInScreenSaver screenSaver;
        ASSERT_TRUE(screenSaver.registerOn(ownBus.connect()));
        screenSaver.answers = answersInhibit;
        desktop::ScreenSaverInhibitor inhibitor(ownBus.connect());
        inhibitor.setInhibited(true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !screenSaver.calls.empty(); }, 5000));
        if (answersInhibit) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return inhibitor.holdsInhibition(); }, 5000));
            screenSaver.answers = false; // UnInhibit hangs
        }
        QElapsedTimer clock;
        clock.start();
        inhibitor.releaseNow();
        EXPECT_LT(clock.elapsed(), 1000) << (answersInhibit ? "release unanswered" : "Inhibit unanswered");
        EXPECT_FALSE(inhibitor.holdsInhibition());
    }
}

TEST_F(Inhibitor, GoingAwayReleasesWhatIsHeld) {
    desktop::testing::StandInScreenSaver screenSaver;
    ASSERT_TRUE(screenSaver.registerOn(bus.connect()));
    {
        desktop::ScreenSaverInhibitor inhibitor(bus.connect());
        inhibitor.setInhibited(true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return inhibitor.holdsInhibition(); }, 5000));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return screenSaver.calls.size() == 2; }, 5000));
    EXPECT_EQ(heldInhibitions(screenSaver), 0);
}

} // namespace
