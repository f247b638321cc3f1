// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/player_remote.h"

#include "player/form1.h"
#include "player/reply_text.h"
#include "player/status_query.h"

#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cmath>

namespace tovimo::app {
namespace {
constexpr std::int64_t kMicrosecondsPerMillisecond = 1000;
constexpr std::int64_t kMicrosecondsPerSecond = 1000000;
constexpr double kDeviceFullVolume = 1000;
const QString kPauseCaption = QStringLiteral("Pause");
const QString kResumeCaption = QStringLiteral("Resume");

std::int64_t nearestWholeSecond(std::int64_t microseconds) {
    return static_cast<std::int64_t>(
        std::llround(static_cast<double>(microseconds) / kMicrosecondsPerSecond));
}

// No device, or one in any other mode, counts as stopped.
desktop::PlaybackStatus statusOfMode(const std::optional<QString>& mode) {
    if (mode == QLatin1String("playing"))
        return desktop::PlaybackStatus::Playing;
    if (mode == QLatin1String("paused"))
        return desktop::PlaybackStatus::Paused;
    return desktop::PlaybackStatus::Stopped;
}

// A drag of `bar`'s thumb to `value`, as the window sees one.
void dragTo(tk::HScrollBar& bar, std::int64_t value) {
    bar.setValue(static_cast<std::int16_t>(value));
    emit bar.Scroll();
}
} // namespace

PlayerRemote::PlayerRemote(player::Form1& form, media::MediaCommandService& media, QObject* parent)
    : desktop::PlayerControl(parent), form_(form), media_(media) {
    // The media opened plays at the device's full volume until the slider is
    // dragged, whatever the slider shows.
    state_.volume = 1;
    connect(&form_, &player::Form1::mediaOpening, this, [this](const QString& path) {
        ++trackNumber_;
        trackPath_ = path;
    });
    connect(&form_.hs, &tk::HScrollBar::Scroll, this,
            [this] { emit seeked(std::int64_t{form_.hs.Value()} * kMicrosecondsPerSecond); });
    // Connected after the window's own handler: the reading follows its tick.
    connect(&form_.Timer1, &tk::Timer::Tick, this, &PlayerRemote::refresh);
}

std::optional<QString> PlayerRemote::deviceMode() {
    std::array<char, player::kStatusReplyLength> reply{};
    if (media_.sendString("status Media mode", reply.data(), player::kStatusReplyLength) != 0)
        return std::nullopt;
    const std::string_view text = player::replyText(reply.data(), reply.size());
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

desktop::PlaybackStatus PlayerRemote::deviceStatus() {
    return statusOfMode(deviceMode());
}

desktop::PlayerState PlayerRemote::readDevice() {
    desktop::PlayerState reading;
    // The device's volume is kept while none is open: the next one opens at
    // full volume anyway.
    reading.volume = state_.volume;
    // The Play button opens the path in the box when nothing is open.
    reading.canPlay = !form_.Text2.Text().isEmpty();
    const std::optional<QString> mode = deviceMode();
    if (!mode)
        return reading;
    reading.canPlay = reading.canPause = true;
    reading.status = statusOfMode(mode);
    reading.positionUs =
        std::int64_t{player::queryStatusNumber(media_, "status Media position").value_or(0)} *
        kMicrosecondsPerMillisecond;
    if (trackNumber_ != 0) {
        const std::int32_t lengthMs = player::queryStatusNumber(media_, "status Media length").value_or(0);
        reading.track = {trackNumber_, trackPath_, std::int64_t{lengthMs} * kMicrosecondsPerMillisecond};
        reading.canSeek = lengthMs > 0;
    }
    reading.showsVideo = media_.sendString("where Media source", nullptr, 0) == 0;
    if (const std::optional<std::int32_t> level = player::queryStatusNumber(media_, "status Media volume"))
        reading.volume = std::clamp(*level / kDeviceFullVolume, 0.0, 1.0);
    return reading;
}

void PlayerRemote::refresh() {
    const desktop::PlayerState previous = state_;
    state_ = readDevice();
    if (state_.track != previous.track)
        emit openTrackChanged();
    if (state_.status != previous.status)
        emit playbackStatusChanged();
    if (state_.volume != previous.volume)
        emit volumeChanged();
    if (state_.canPlay != previous.canPlay || state_.canPause != previous.canPause ||
        state_.canSeek != previous.canSeek)
        emit capabilitiesChanged();
}

void PlayerRemote::setVolume(double volume) {
    dragTo(form_.vs, static_cast<std::int64_t>(std::clamp(std::round(volume * 100), 0.0, 100.0)));
    refresh();
}

void PlayerRemote::pressPauseButtonFor(desktop::PlaybackStatus wanted) {
    const QString& pressDoesIt = wanted == desktop::PlaybackStatus::Paused ? kPauseCaption : kResumeCaption;
    if (form_.Command2.Caption() != pressDoesIt)
        form_.Command2.click();
    if (form_.Command2.Caption() == pressDoesIt)
        form_.Command2.click();
}

void PlayerRemote::playPause() {
    if (deviceStatus() == desktop::PlaybackStatus::Playing)
        pause();
    else
        play();
}

void PlayerRemote::play() {
    switch (deviceStatus()) {
    case desktop::PlaybackStatus::Playing:
        break;
    case desktop::PlaybackStatus::Paused:
        pressPauseButtonFor(desktop::PlaybackStatus::Playing);
        break;
    case desktop::PlaybackStatus::Stopped:
        form_.Command4.click();
        break;
    }
    refresh();
}

void PlayerRemote::pause() {
    if (deviceStatus() == desktop::PlaybackStatus::Playing)
        pressPauseButtonFor(desktop::PlaybackStatus::Paused);
    refresh();
}

void PlayerRemote::stop() {
    form_.Command3.click();
    refresh();
}

void PlayerRemote::seekBy(std::int64_t offsetUs) {
    if (!deviceMode())
        return;
    const std::int64_t positionMs = player::queryStatusNumber(media_, "status Media position").value_or(0);
    const std::int64_t targetUs = positionMs * kMicrosecondsPerMillisecond + offsetUs;
    if (const std::optional<std::int32_t> lengthMs = player::queryStatusNumber(media_, "status Media length");
        lengthMs && *lengthMs > 0 && targetUs > std::int64_t{*lengthMs} * kMicrosecondsPerMillisecond)
        return;
    seekToSeconds(nearestWholeSecond(targetUs));
}

void PlayerRemote::seekTo(std::int64_t positionUs) {
    if (!deviceMode())
        return;
    seekToSeconds(nearestWholeSecond(positionUs));
}

void PlayerRemote::seekToSeconds(std::int64_t seconds) {
    const bool paused = deviceStatus() == desktop::PlaybackStatus::Paused;
    dragTo(form_.hs, std::clamp<std::int64_t>(seconds, form_.hs.Min(), form_.hs.Max()));
    // The slider's seek plays; the pause follows at once, before any event
    // (the timer's in particular) can see the device playing.
    if (paused)
        media_.sendString("pause Media", nullptr, 0);
    refresh();
}

void PlayerRemote::openAndPlay(const QString& path) {
    // A relative path would be kept as a favourite relative to nothing.
    form_.Text2.setText(path.isEmpty() ? path : QFileInfo(path).absoluteFilePath());
    form_.Command4.click();
    refresh();
}

void PlayerRemote::raise() {
    form_.show();
    form_.raise();
    form_.activateWindow();
}

void PlayerRemote::quit() {
    form_.Unload();
}

} // namespace tovimo::app
