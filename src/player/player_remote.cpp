#include "player/player_remote.h"

#include "player/form1.h"
#include "player/reply_text.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

namespace tovimo::player {
namespace {
constexpr int kPollIntervalMs = 100;
constexpr std::int64_t kMicrosecondsPerMillisecond = 1000;
constexpr std::int64_t kMicrosecondsPerSecond = 1000000;
const QString kPauseCaption = QStringLiteral("Pause");
const QString kResumeCaption = QStringLiteral("Resume");

std::int64_t nearestWholeSecond(std::int64_t microseconds) {
    return static_cast<std::int64_t>(
        std::llround(static_cast<double>(microseconds) / kMicrosecondsPerSecond));
}
} // namespace

PlayerRemote::PlayerRemote(Form1& form, QObject* parent) : desktop::PlayerControl(parent), form_(form) {
    connect(&form_, &Form1::mediaOpening, this, [this](const QString& path) {
        ++trackNumber_;
        trackPath_ = path;
    });
    connect(&form_.vs, &QScrollBar::valueChanged, this, &PlayerRemote::volumeChanged);
    connect(&form_.hs, &tk::HScrollBar::Scroll, this,
            [this] { emit seeked(std::int64_t{form_.hs.Value()} * kMicrosecondsPerSecond); });
    connect(&pollTimer_, &QTimer::timeout, this, &PlayerRemote::poll);
    pollTimer_.start(kPollIntervalMs);
}

std::optional<QString> PlayerRemote::ask(const QString& command) {
    char reply[128] = {};
    if (form_.sendWithReply(command, reply, sizeof reply) != 0)
        return std::nullopt;
    const std::string_view text = replyText(reply, sizeof reply);
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

bool PlayerRemote::deviceOpen() {
    return ask(QStringLiteral("status Media mode")).has_value();
}

desktop::PlaybackStatus PlayerRemote::playbackStatus() {
    const std::optional<QString> mode = ask(QStringLiteral("status Media mode"));
    if (mode == QLatin1String("playing"))
        return desktop::PlaybackStatus::Playing;
    if (mode == QLatin1String("paused"))
        return desktop::PlaybackStatus::Paused;
    return desktop::PlaybackStatus::Stopped;
}

std::int64_t PlayerRemote::positionUs() {
    const std::optional<QString> ms = ask(QStringLiteral("status Media position"));
    return ms ? ms->toLongLong() * kMicrosecondsPerMillisecond : 0;
}

desktop::OpenTrack PlayerRemote::openTrack() {
    if (trackNumber_ == 0 || !deviceOpen())
        return {};
    const std::optional<QString> lengthMs = ask(QStringLiteral("status Media length"));
    return {trackNumber_, trackPath_, lengthMs ? lengthMs->toLongLong() * kMicrosecondsPerMillisecond : 0};
}

bool PlayerRemote::showsVideo() {
    return ask(QStringLiteral("where Media source")).has_value();
}

double PlayerRemote::volume() {
    return form_.vs.Value() / 100.0;
}

void PlayerRemote::setVolume(double volume) {
    const double level = std::clamp(std::round(volume * 100), 0.0, 100.0);
    form_.vs.setValue(static_cast<std::int16_t>(level));
    form_.vs_Scroll();
}

void PlayerRemote::playPause() {
    if (playbackStatus() == desktop::PlaybackStatus::Stopped)
        form_.Command4_Click();
    else
        form_.Command2_Click();
    poll();
}

void PlayerRemote::play() {
    const desktop::PlaybackStatus status = playbackStatus();
    if (status == desktop::PlaybackStatus::Stopped)
        form_.Command4_Click();
    else if (status == desktop::PlaybackStatus::Paused && form_.Command2.Caption() == kResumeCaption)
        form_.Command2_Click();
    poll();
}

void PlayerRemote::pause() {
    if (playbackStatus() == desktop::PlaybackStatus::Playing && form_.Command2.Caption() == kPauseCaption)
        form_.Command2_Click();
    poll();
}

void PlayerRemote::stop() {
    form_.Command3_Click();
    poll();
}

void PlayerRemote::seekBy(std::int64_t offsetUs) {
    if (!deviceOpen())
        return;
    seekToSeconds(nearestWholeSecond(positionUs() + offsetUs));
}

void PlayerRemote::seekTo(std::int64_t positionUs) {
    if (!deviceOpen())
        return;
    seekToSeconds(nearestWholeSecond(positionUs));
}

void PlayerRemote::seekToSeconds(std::int64_t seconds) {
    const std::int64_t target = std::clamp<std::int64_t>(seconds, form_.hs.Min(), form_.hs.Max());
    form_.hs.setValue(static_cast<std::int16_t>(target));
    form_.hs_Scroll();
    emit seeked(target * kMicrosecondsPerSecond);
    poll();
}

void PlayerRemote::openAndPlay(const QString& path) {
    // A relative path would be kept as a favourite relative to nothing.
    form_.Text2.setText(path.isEmpty() ? path : QFileInfo(path).absoluteFilePath());
    form_.Command4_Click();
    poll();
}

void PlayerRemote::raise() {
    form_.show();
    form_.raise();
    form_.activateWindow();
}

void PlayerRemote::quit() {
    form_.Unload();
}

void PlayerRemote::poll() {
    const desktop::PlaybackStatus status = playbackStatus();
    const desktop::OpenTrack track = openTrack();
    if (track != lastTrack_) {
        lastTrack_ = track;
        emit openTrackChanged();
    }
    if (status != lastStatus_) {
        lastStatus_ = status;
        emit playbackStatusChanged();
    }
}

} // namespace tovimo::player
