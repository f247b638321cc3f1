// SPDX-License-Identifier: GPL-3.0-or-later
// The MPRIS interfaces over a private session bus, in front of a fake player.
#include "platform/desktop/mpris_service.h"
#include "session_bus_fixture.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMap>
#include <QTest>
#include <QXmlStreamReader>
#include <gtest/gtest.h>
#include <unistd.h>

namespace desktop = tovimo::desktop;

namespace {

const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");

class FakePlayer : public desktop::PlayerControl {
public:
    desktop::PlayerState reading{desktop::PlaybackStatus::Stopped, 4000000, {}, true, 0.5};
    QStringList requests;

    const desktop::PlayerState& state() const override { return reading; }
    void setVolume(double volume) override { requests << QStringLiteral("setVolume %1").arg(volume); }
    void playPause() override { requests << QStringLiteral("playPause"); }
    void play() override { requests << QStringLiteral("play"); }
    void pause() override { requests << QStringLiteral("pause"); }
    void stop() override { requests << QStringLiteral("stop"); }
    void seekBy(std::int64_t offsetUs) override { requests << QStringLiteral("seekBy %1").arg(offsetUs); }
    void seekTo(std::int64_t positionUs) override { requests << QStringLiteral("seekTo %1").arg(positionUs); }
    void openAndPlay(const QString& path) override { requests << QStringLiteral("openAndPlay ") + path; }
    void raise() override { requests << QStringLiteral("raise"); }
    void quit() override { requests << QStringLiteral("quit"); }
};

// Collects PropertiesChanged and Seeked as a desktop panel would see them.
class SignalLog : public QObject {
    Q_OBJECT
public:
    QStringList changed; // "Property=value" for simple values
    QList<qlonglong> seeked;

public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& values, const QStringList&) {
        for (auto it = values.begin(); it != values.end(); ++it)
            changed << interface + QLatin1Char(' ') + it.key() + QLatin1Char('=') + it.value().toString();
    }
    void onSeeked(qlonglong position) { seeked << position; }
};

class Mpris : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus.started()) << "dbus-daemon did not start";
        ASSERT_EQ(service.serviceName(), QLatin1String(desktop::MprisService::kServiceName));
    }

    // Calls and waits with the event loop running, so the service in this
    // process can answer.
    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            service.serviceName(), QStringLiteral("/org/mpris/MediaPlayer2"), interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = client.asyncCall(message);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 5000));
        return pending.reply();
    }
    QVariant property(const QString& interface, const QString& name) {
        const QDBusMessage reply =
            call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {interface, name});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(property(kPlayer, QStringLiteral("Metadata"))); }

    desktop::testing::PrivateSessionBus bus;
    FakePlayer player;
    desktop::MprisService service{player, bus.connect()};
    QDBusConnection client = bus.connect();
};

TEST_F(Mpris, DescribesTheApplicationAndWhatItCanDo) {
    const std::pair<QString, QVariant> root[] = {
        {QStringLiteral("Identity"), QStringLiteral("Tovimo")},
        {QStringLiteral("DesktopEntry"), QStringLiteral("org.tovimo.Tovimo")},
        {QStringLiteral("CanQuit"), true},
        {QStringLiteral("CanRaise"), true},
        {QStringLiteral("HasTrackList"), false},
        {QStringLiteral("SupportedUriSchemes"), QStringList{QStringLiteral("file")}},
    };
    for (const auto& [name, value] : root)
        EXPECT_EQ(property(kRoot, name), value) << name.toStdString();
    const std::pair<QString, QVariant> playerProperties[] = {
        {QStringLiteral("CanControl"), true},     {QStringLiteral("CanGoNext"), false},
        {QStringLiteral("CanGoPrevious"), false}, {QStringLiteral("Rate"), 1.0},
        {QStringLiteral("Volume"), 0.5},          {QStringLiteral("Position"), qlonglong{4000000}},
    };
    for (const auto& [name, value] : playerProperties)
        EXPECT_EQ(property(kPlayer, name), value) << name.toStdString();

    // What the player can do follows its reading: nothing to play at first.
    const struct {
        bool play, pause, seek;
    } abilities[] = {{false, false, false}, {true, false, false}, {true, true, false}, {true, true, true}};
    for (const auto& can : abilities) {
        player.reading.canPlay = can.play;
        player.reading.canPause = can.pause;
        player.reading.canSeek = can.seek;
        EXPECT_EQ(property(kPlayer, QStringLiteral("CanPlay")), can.play);
        EXPECT_EQ(property(kPlayer, QStringLiteral("CanPause")), can.pause);
        EXPECT_EQ(property(kPlayer, QStringLiteral("CanSeek")), can.seek);
    }
}

TEST_F(Mpris, PlaybackStatusNamesEachState) {
    const std::pair<desktop::PlaybackStatus, const char*> cases[] = {
        {desktop::PlaybackStatus::Playing, "Playing"},
        {desktop::PlaybackStatus::Paused, "Paused"},
        {desktop::PlaybackStatus::Stopped, "Stopped"},
    };
    for (const auto& [status, text] : cases) {
        player.reading.status = status;
        EXPECT_EQ(property(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QLatin1String(text));
    }
}

TEST_F(Mpris, MetadataDescribesTheOpenFileWithTheRightTypes) {
    EXPECT_EQ(metadata().value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
              QLatin1String(desktop::MprisService::kNoTrack));
    EXPECT_EQ(metadata().size(), 1) << "nothing open: a track id alone";

    player.reading.track = {3, QStringLiteral("/media/my clips/ünï.mkv"), 10500000};
    const QVariantMap data = metadata();
    EXPECT_EQ(data.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path(),
              QStringLiteral("/org/tovimo/Tovimo/Track/3"));
    EXPECT_EQ(data.value(QStringLiteral("mpris:length")).metaType(), QMetaType::fromType<qlonglong>());
    EXPECT_EQ(data.value(QStringLiteral("mpris:length")).toLongLong(), 10500000);
    EXPECT_EQ(data.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("ünï.mkv"));
    EXPECT_EQ(data.value(QStringLiteral("xesam:url")).toString(),
              QStringLiteral("file:///media/my%20clips/%C3%BCn%C3%AF.mkv"));
}

TEST_F(Mpris, MethodsReachThePlayer) {
    call(kPlayer, QStringLiteral("PlayPause"));
    call(kPlayer, QStringLiteral("Play"));
    call(kPlayer, QStringLiteral("Pause"));
    call(kPlayer, QStringLiteral("Stop"));
    call(kPlayer, QStringLiteral("Seek"), {qlonglong{-5000000}});
    call(kPlayer, QStringLiteral("Next"));
    call(kPlayer, QStringLiteral("Previous"));
    call(kPlayer, QStringLiteral("OpenUri"), {QStringLiteral("file:///tmp/a%20b.mkv")});
    call(kRoot, QStringLiteral("Raise"));
    const QDBusMessage set =
        call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
             {kPlayer, QStringLiteral("Volume"), QVariant::fromValue(QDBusVariant(0.25))});
    EXPECT_EQ(set.type(), QDBusMessage::ReplyMessage) << set.errorMessage().toStdString();
    EXPECT_EQ(player.requests, (QStringList{"playPause", "play", "pause", "stop", "seekBy -5000000",
                                            "openAndPlay /tmp/a b.mkv", "raise", "setVolume 0.25"}));
}

// SupportedUriSchemes offers "file" alone: any other URI, a bare path, or a
// file on another machine is refused with an error and opens nothing.
TEST_F(Mpris, OpenUriTakesFileUrisOnlyAndRefusesTheRestWithAnError) {
    const struct {
        const char* uri;
        const char* opens; // nullptr: refused
    } cases[] = {
        {"FILE:///tmp/x.mkv", "/tmp/x.mkv"},
        {"file://localhost/tmp/y%C3%BC.mkv", "/tmp/yü.mkv"},
        {"http://example.org/film.mkv", nullptr},
        {"/tmp/bare-path.mkv", nullptr},
        {"film.mkv", nullptr},
        {"", nullptr},
        {"file://elsewhere/tmp/c.mkv", nullptr},
        {"smb://server/share/film.mkv", nullptr},
    };
    for (const auto& c : cases) {
        player.requests.clear();
        const QDBusMessage reply = call(kPlayer, QStringLiteral("OpenUri"), {QString::fromUtf8(c.uri)});
        if (c.opens) {
            EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << c.uri;
            EXPECT_EQ(player.requests,
                      QStringList{QStringLiteral("openAndPlay ") + QString::fromUtf8(c.opens)})
                << c.uri;
        } else {
            EXPECT_EQ(reply.type(), QDBusMessage::ErrorMessage) << c.uri;
            EXPECT_EQ(reply.errorName(), QStringLiteral("org.freedesktop.DBus.Error.NotSupported")) << c.uri;
            EXPECT_TRUE(player.requests.isEmpty()) << c.uri;
        }
    }
}

TEST_F(Mpris, QuitRepliesBeforeThePlayerCloses) {
    const QDBusMessage reply = call(kRoot, QStringLiteral("Quit"));
    EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(QTest::qWaitFor([&] { return player.requests == QStringList{"quit"}; }, 5000));
}

TEST_F(Mpris, SetPositionIgnoresStaleTracksAndPositionsOutsideTheMedia) {
    player.reading.track = {2, QStringLiteral("/tmp/a.mkv"), 10000000};
    const QDBusObjectPath current(QStringLiteral("/org/tovimo/Tovimo/Track/2"));
    const QDBusObjectPath stale(QStringLiteral("/org/tovimo/Tovimo/Track/1"));
    const std::pair<QDBusObjectPath, qlonglong> cases[] = {
        {current, 3000000}, {stale, 3000000}, {current, -1}, {current, 10000001}, {current, 10000000},
    };
    for (const auto& [track, position] : cases)
        call(kPlayer, QStringLiteral("SetPosition"), {QVariant::fromValue(track), position});
    EXPECT_EQ(player.requests, (QStringList{"seekTo 3000000", "seekTo 10000000"}));
}

TEST_F(Mpris, ChangesAreAnnouncedAsPropertiesChangedAndSeeked) {
    SignalLog log;
    ASSERT_TRUE(client.connect(service.serviceName(), QStringLiteral("/org/mpris/MediaPlayer2"),
                               QStringLiteral("org.freedesktop.DBus.Properties"),
                               QStringLiteral("PropertiesChanged"), &log,
                               SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
    ASSERT_TRUE(client.connect(service.serviceName(), QStringLiteral("/org/mpris/MediaPlayer2"), kPlayer,
                               QStringLiteral("Seeked"), &log, SLOT(onSeeked(qlonglong))));
    call(QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")); // the match rules are in place

    player.reading.status = desktop::PlaybackStatus::Paused;
    emit player.playbackStatusChanged();
    player.reading.volume = 0.75;
    emit player.volumeChanged();
    player.reading.track = {1, QStringLiteral("/tmp/a.mkv"), 1000000};
    emit player.openTrackChanged();
    emit player.seeked(7000000);
    player.reading.canPlay = player.reading.canPause = true;
    emit player.capabilitiesChanged();

    ASSERT_TRUE(QTest::qWaitFor([&] { return log.changed.size() == 6 && log.seeked.size() == 1; }, 5000));
    EXPECT_EQ(log.changed.at(0), kPlayer + QStringLiteral(" PlaybackStatus=Paused"));
    EXPECT_EQ(log.changed.at(1), kPlayer + QStringLiteral(" Volume=0.75"));
    EXPECT_TRUE(log.changed.at(2).startsWith(kPlayer + QStringLiteral(" Metadata=")));
    EXPECT_EQ(log.changed.mid(3), (QStringList{kPlayer + QStringLiteral(" CanPause=true"),
                                               kPlayer + QStringLiteral(" CanPlay=true"),
                                               kPlayer + QStringLiteral(" CanSeek=false")}));
    EXPECT_EQ(log.seeked, QList<qlonglong>{7000000});
}

// The description clients read: which properties announce their changes.
TEST_F(Mpris, PositionAndControlAreDescribedAsNotAnnouncingChanges) {
    const QDBusMessage reply =
        call(QStringLiteral("org.freedesktop.DBus.Introspectable"), QStringLiteral("Introspect"));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    QXmlStreamReader xml(reply.arguments().value(0).toString());
    QString interface;
    QString property;
    QMap<QString, QString> emits; // property of the player interface -> EmitsChangedSignal
    QStringList methods;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.attributes().value(QStringLiteral("name")).toString();
        if (xml.name() == QLatin1String("interface"))
            interface = name;
        if (interface != kPlayer)
            continue;
        if (xml.name() == QLatin1String("method"))
            methods << name;
        if (xml.name() == QLatin1String("property")) {
            property = name;
            emits[property] = QStringLiteral("true"); // the default
        }
        if (xml.name() == QLatin1String("annotation") &&
            name == QLatin1String("org.freedesktop.DBus.Property.EmitsChangedSignal"))
            emits[property] = xml.attributes().value(QStringLiteral("value")).toString();
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_EQ(methods, (QStringList{"Next", "Previous", "Pause", "PlayPause", "Stop", "Play", "Seek",
                                    "SetPosition", "OpenUri"}));
    for (const char* name : {"PlaybackStatus", "Rate", "Metadata", "Volume", "MinimumRate", "MaximumRate",
                             "CanGoNext", "CanGoPrevious", "CanPlay", "CanPause", "CanSeek"})
        EXPECT_EQ(emits.value(QLatin1String(name)), QStringLiteral("true")) << name;
    EXPECT_EQ(emits.value(QStringLiteral("Position")), QStringLiteral("false"));
    EXPECT_EQ(emits.value(QStringLiteral("CanControl")), QStringLiteral("false"));
}

TEST_F(Mpris, ASecondPlayerTakesAnInstanceName) {
    FakePlayer other;
    desktop::MprisService second(other, bus.connect());
    EXPECT_EQ(second.serviceName(),
              QStringLiteral("org.mpris.MediaPlayer2.tovimo.instance%1").arg(::getpid()));
}

TEST_F(Mpris, WithoutABusNothingIsRegistered) {
    FakePlayer other;
    desktop::MprisService offline(other, QDBusConnection(QStringLiteral("no such connection")));
    EXPECT_TRUE(offline.serviceName().isEmpty());
}

} // namespace

#include "mpris_service_test.moc"
