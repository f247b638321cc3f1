// The inhibitor against stand-in services on a private session bus.
#include "platform/desktop/screensaver_inhibitor.h"
#include "session_bus_fixture.h"

#include <QTest>
#include <gtest/gtest.h>

namespace desktop = tovimo::desktop;
using desktop::testing::heldInhibitions;
using desktop::testing::ReceivedCall;

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
