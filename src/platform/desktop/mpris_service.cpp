// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop/mpris_service.h"

#include "platform/desktop/file_uri.h"

#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>
#include <unistd.h>

namespace tovimo::desktop {
namespace {
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";

} // namespace

// Kept in step with the desktop entry's MimeType list (the tests compare them).
QStringList MprisService::supportedMimeTypes() {
    return {QStringLiteral("video/mp4"),   QStringLiteral("video/x-matroska"),
            QStringLiteral("video/webm"),  QStringLiteral("video/x-msvideo"),
            QStringLiteral("video/mpeg"),  QStringLiteral("video/quicktime"),
            QStringLiteral("video/ogg"),   QStringLiteral("video/x-ogm+ogg"),
            QStringLiteral("video/3gpp"),  QStringLiteral("video/mp2t"),
            QStringLiteral("video/x-flv"), QStringLiteral("audio/mpeg"),
            QStringLiteral("audio/x-wav"), QStringLiteral("audio/midi"),
            QStringLiteral("audio/ogg"),   QStringLiteral("audio/x-vorbis+ogg"),
            QStringLiteral("audio/flac"),  QStringLiteral("audio/x-flac"),
            QStringLiteral("audio/mp4"),   QStringLiteral("audio/aac"),
            QStringLiteral("audio/webm"),  QStringLiteral("audio/x-matroska")};
}

// org.mpris.MediaPlayer2
class MprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    MprisRootAdaptor(QObject* exported, MprisService& service)
        : QDBusAbstractAdaptor(exported), s_(service) {}
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("Tovimo"); }
    QString DesktopEntry() const { return QStringLiteral(TOVIMO_APP_ID); }
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList SupportedMimeTypes() const { return MprisService::supportedMimeTypes(); }

public slots:
    void Raise() { s_.player().raise(); }
    void Quit() { QMetaObject::invokeMethod(&s_, &MprisService::quitAfterReply, Qt::QueuedConnection); }

private:
    MprisService& s_;
};

// org.mpris.MediaPlayer2.Player. Its description is written out because the
// one generated from the properties would announce that Position and
// CanControl emit change signals: the position changes all the time (Seeked
// covers jumps), and control never changes.
class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_CLASSINFO(
        "D-Bus Introspection",
        "  <interface name=\"org.mpris.MediaPlayer2.Player\">\n"
        "    <method name=\"Next\"/>\n"
        "    <method name=\"Previous\"/>\n"
        "    <method name=\"Pause\"/>\n"
        "    <method name=\"PlayPause\"/>\n"
        "    <method name=\"Stop\"/>\n"
        "    <method name=\"Play\"/>\n"
        "    <method name=\"Seek\">\n"
        "      <arg name=\"Offset\" type=\"x\" direction=\"in\"/>\n"
        "    </method>\n"
        "    <method name=\"SetPosition\">\n"
        "      <arg name=\"TrackId\" type=\"o\" direction=\"in\"/>\n"
        "      <arg name=\"Position\" type=\"x\" direction=\"in\"/>\n"
        "    </method>\n"
        "    <method name=\"OpenUri\">\n"
        "      <arg name=\"Uri\" type=\"s\" direction=\"in\"/>\n"
        "    </method>\n"
        "    <signal name=\"Seeked\">\n"
        "      <arg name=\"Position\" type=\"x\"/>\n"
        "    </signal>\n"
        "    <property name=\"PlaybackStatus\" type=\"s\" access=\"read\"/>\n"
        "    <property name=\"Rate\" type=\"d\" access=\"readwrite\"/>\n"
        "    <property name=\"Metadata\" type=\"a{sv}\" access=\"read\"/>\n"
        "    <property name=\"Volume\" type=\"d\" access=\"readwrite\"/>\n"
        "    <property name=\"Position\" type=\"x\" access=\"read\">\n"
        "      <annotation name=\"org.freedesktop.DBus.Property.EmitsChangedSignal\" value=\"false\"/>\n"
        "    </property>\n"
        "    <property name=\"MinimumRate\" type=\"d\" access=\"read\"/>\n"
        "    <property name=\"MaximumRate\" type=\"d\" access=\"read\"/>\n"
        "    <property name=\"CanGoNext\" type=\"b\" access=\"read\"/>\n"
        "    <property name=\"CanGoPrevious\" type=\"b\" access=\"read\"/>\n"
        "    <property name=\"CanPlay\" type=\"b\" access=\"read\"/>\n"
        "    <property name=\"CanPause\" type=\"b\" access=\"read\"/>\n"
        "    <property name=\"CanSeek\" type=\"b\" access=\"read\"/>\n"
        "    <property name=\"CanControl\" type=\"b\" access=\"read\">\n"
        "      <annotation name=\"org.freedesktop.DBus.Property.EmitsChangedSignal\" value=\"false\"/>\n"
        "    </property>\n"
        "  </interface>\n")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool CanGoNext READ no)
    Q_PROPERTY(bool CanGoPrevious READ no)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ yes)
public:
    MprisPlayerAdaptor(QObject* exported, MprisService& service)
        : QDBusAbstractAdaptor(exported), s_(service) {}

    QString PlaybackStatus() const { return MprisService::playbackStatusText(s_.player().state().status); }
    double Rate() const { return 1.0; }
    void setRate(double) {} // only normal speed: nothing to change
    QVariantMap Metadata() const { return MprisService::metadataOf(s_.player().state().track); }
    double Volume() const { return s_.player().state().volume; }
    void setVolume(double volume) { s_.player().setVolume(volume); }
    qlonglong Position() const { return s_.player().state().positionUs; }
    bool CanPlay() const { return s_.player().state().canPlay; }
    bool CanPause() const { return s_.player().state().canPause; }
    bool CanSeek() const { return s_.player().state().canSeek; }
    bool no() const { return false; }
    bool yes() const { return true; }

public slots:
    void Next() {}
    void Previous() {}
    void Pause() { s_.player().pause(); }
    void PlayPause() { s_.player().playPause(); }
    void Stop() { s_.player().stop(); }
    void Play() { s_.player().play(); }
    void Seek(qlonglong Offset) { s_.player().seekBy(Offset); }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
        const OpenTrack& track = s_.player().state().track;
        // A position for media no longer open, or outside it, is stale.
        if (track.id == 0 || TrackId.path() != MprisService::trackIdOf(track.id) || Position < 0 ||
            Position > track.lengthUs)
            return;
        s_.player().seekTo(Position);
    }
    // Only what SupportedUriSchemes offers: a file: URI of this machine.
    // Anything else, a bare path included, is refused with an error.
    void OpenUri(const QString& Uri, const QDBusMessage& message) {
        const std::optional<QString> path =
            isFileUri(Uri) ? localPathFromArgument(Uri) : std::optional<QString>();
        if (!path || path->isEmpty()) {
            message.setDelayedReply(true);
            s_.sendError(message, QStringLiteral("org.freedesktop.DBus.Error.NotSupported"),
                         QStringLiteral("Only file: URIs of this machine can be opened: %1").arg(Uri));
            return;
        }
        s_.player().openAndPlay(*path);
    }

signals:
    void Seeked(qlonglong Position);

private:
    MprisService& s_;
};

MprisService::MprisService(PlayerControl& player, QDBusConnection bus, QObject* parent)
    : QObject(parent), player_(player), bus_(std::move(bus)) {
    if (!bus_.isConnected())
        return;
    exported_ = new QObject(this);
    new MprisRootAdaptor(exported_, *this);
    auto* playerAdaptor = new MprisPlayerAdaptor(exported_, *this);
    if (!bus_.registerObject(QLatin1String(kObjectPath), exported_, QDBusConnection::ExportAdaptors))
        return;
    QString name = QLatin1String(kServiceName);
    if (!bus_.registerService(name)) {
        name += QStringLiteral(".instance%1").arg(::getpid());
        if (!bus_.registerService(name)) {
            bus_.unregisterObject(QLatin1String(kObjectPath));
            return;
        }
    }
    serviceName_ = name;

    connect(&player_, &PlayerControl::playbackStatusChanged, this, [this] {
        announce(kPlayerInterface, QStringLiteral("PlaybackStatus"),
                 playbackStatusText(player_.state().status));
    });
    connect(&player_, &PlayerControl::openTrackChanged, this, [this] {
        announce(kPlayerInterface, QStringLiteral("Metadata"), metadataOf(player_.state().track));
    });
    connect(&player_, &PlayerControl::volumeChanged, this,
            [this] { announce(kPlayerInterface, QStringLiteral("Volume"), player_.state().volume); });
    connect(&player_, &PlayerControl::capabilitiesChanged, this, [this] {
        const PlayerState& state = player_.state();
        announce(kPlayerInterface, {{QStringLiteral("CanPlay"), state.canPlay},
                                    {QStringLiteral("CanPause"), state.canPause},
                                    {QStringLiteral("CanSeek"), state.canSeek}});
    });
    connect(&player_, &PlayerControl::seeked, playerAdaptor,
            [playerAdaptor](std::int64_t positionUs) { emit playerAdaptor->Seeked(positionUs); });
}

MprisService::~MprisService() {
    if (serviceName_.isEmpty())
        return;
    bus_.unregisterService(serviceName_);
    bus_.unregisterObject(QLatin1String(kObjectPath));
}

QString MprisService::trackIdOf(int id) {
    if (id == 0)
        return QLatin1String(kNoTrack);
    return QStringLiteral("/org/tovimo/Tovimo/Track/%1").arg(id);
}

QVariantMap MprisService::metadataOf(const OpenTrack& track) {
    QVariantMap metadata{
        {QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackIdOf(track.id)))}};
    if (track.id == 0)
        return metadata;
    const QFileInfo file(track.path);
    metadata.insert(QStringLiteral("mpris:length"), QVariant::fromValue<qlonglong>(track.lengthUs));
    metadata.insert(QStringLiteral("xesam:title"), file.fileName());
    metadata.insert(QStringLiteral("xesam:url"),
                    QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded));
    return metadata;
}

QString MprisService::playbackStatusText(PlaybackStatus status) {
    switch (status) {
    case PlaybackStatus::Playing:
        return QStringLiteral("Playing");
    case PlaybackStatus::Paused:
        return QStringLiteral("Paused");
    case PlaybackStatus::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

void MprisService::quitAfterReply() {
    // Messages leave a connection in order: once the bus answers this ping,
    // the Quit reply sent before it has reached the bus too, and closing the
    // window may end the process at once.
    bus_.call(QDBusMessage::createMethodCall(
                  QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
                  QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping")),
              QDBus::Block, 1000);
    player_.quit();
}

void MprisService::announce(const char* interface, const QString& property, const QVariant& value) {
    announce(interface, QVariantMap{{property, value}});
}

void MprisService::announce(const char* interface, const QVariantMap& properties) {
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(kObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(interface) << properties << QStringList{};
    bus_.send(signal);
}

void MprisService::sendError(const QDBusMessage& call, const QString& name, const QString& text) {
    bus_.send(call.createErrorReply(name, text));
}

} // namespace tovimo::desktop

#include "mpris_service.moc"
