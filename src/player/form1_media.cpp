// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/form1.h"

#include "platform/toolkit/dialogs.h"
#include "platform/toolkit/events.h"
#include "platform/toolkit/screen.h"
#include "player/reply_text.h"
#include "player/status_query.h"

#include <QFile>

#include <climits>
#include <limits>
#include <stdexcept>
#include <string>

namespace tovimo::player {
namespace {
constexpr std::uint32_t kErrorTextLength = 260;
// The platform's longest path: paths beyond the 259 bytes of the original
// limit are common here.
constexpr std::uint32_t kPathBufferLength = PATH_MAX;
constexpr const char* kChildWindowStyle = "1073741824";
const char* const kAudioEndings[] = {".mp3", ".wav", ".mid", ".MP3", ".WAV", ".MID"};

QString number(std::int64_t value) {
    return QString::number(value);
}

std::int32_t seconds(std::optional<std::int32_t> milliseconds) {
    return milliseconds ? *milliseconds / 1000 : 0;
}
} // namespace

std::uint32_t Form1::sendWithReply(const QString& command, char* reply, std::uint32_t replyLength) {
    return sendWithReply(command.toLocal8Bit(), reply, replyLength);
}

std::uint32_t Form1::sendWithReply(const QByteArray& command, char* reply, std::uint32_t replyLength) {
    return media_.sendString(command.constData(), reply, replyLength);
}

bool Form1::SendMediaCommand(const QString& Command, bool ShowError) {
    const std::uint32_t code = sendWithReply(Command, nullptr, 0);
    const bool failed = code != 0;
    if (failed && ShowError) {
        char errorText[kErrorTextLength] = {};
        const bool known = media_.getErrorString(code, errorText, kErrorTextLength);
        tk::MsgBox(QStringLiteral("Error loading the file"), {},
                   known ? QString::fromLocal8Bit(errorText) : QString());
    }
    return failed;
}

void Form1::StopMedia() {
    SendMediaCommand(QStringLiteral("stop Media"), false);
}
void Form1::PauseMedia() {
    SendMediaCommand(QStringLiteral("pause Media"), false);
}
void Form1::ResumeMedia() {
    SendMediaCommand(QStringLiteral("resume Media"), false);
}

std::int32_t Form1::MediaLength() {
    return seconds(queryStatusNumber(media_, "status Media length"));
}

std::int32_t Form1::MediaPosition() {
    return seconds(queryStatusNumber(media_, "status Media position", StatusReply));
}

std::int32_t Form1::MediaVolume() {
    const std::optional<std::int32_t> level = queryStatusNumber(media_, "status Media Volume", StatusReply);
    return level ? *level / 10 : 0;
}

void Form1::SeekMedia(std::int32_t Seconds) {
    std::int32_t milliseconds = 0;
    if (__builtin_mul_overflow(Seconds, 1000, &milliseconds))
        throw std::overflow_error("seek position overflows 32 bits");
    SendMediaCommand(QStringLiteral("seek Media to ") + number(milliseconds), false);
    SendMediaCommand(QStringLiteral("play Media"), false);
}

void Form1::SetMediaVolume(std::int32_t Level) {
    const std::int32_t clamped = Level < 0 ? 0 : (Level > 100 ? 100 : Level);
    SendMediaCommand(QStringLiteral("setaudio Media Volume to ") + number(clamped * 10), false);
}

std::int32_t Form1::IMultimediaClass_GetCurrentDisplaySize(std::int32_t& Left, std::int32_t& Top,
                                                           std::int32_t& Width, std::int32_t& Height) {
    const std::uint32_t code =
        sendWithReply(QStringLiteral("Where ") + DestinationDevice + QStringLiteral(" Destination"),
                      DestinationReply.data(), kStatusReplyLength);
    if (code != 0)
        return static_cast<std::int32_t>(code);
    // The split runs over the whole buffer; the NUL that ends the reply ends
    // the last field read.
    const std::string_view content(DestinationReply.data(), DestinationReply.size());
    std::int32_t* outputs[] = {&Left, &Top, &Width, &Height};
    std::size_t start = 0;
    for (std::int32_t* output : outputs) {
        if (start > content.size())
            throw std::out_of_range("destination reply has fewer than four fields");
        const std::size_t blank = content.find(' ', start);
        const std::string_view field =
            content.substr(start, blank == std::string_view::npos ? std::string_view::npos : blank - start);
        const std::optional<std::int32_t> value =
            roundHalfEvenToInt32(leadingNumber(replyText(field.data(), field.size())));
        if (!value)
            throw std::overflow_error("destination field overflows 32 bits");
        *output = *value;
        start = blank == std::string_view::npos ? content.size() + 1 : blank + 1;
    }
    return static_cast<std::int32_t>(code);
}

QString Form1::GetShortName(const QString& LongPath) {
    return QString::fromLocal8Bit(GetShortName(LongPath.toLocal8Bit()));
}

QByteArray Form1::GetShortName(const QByteArray& LongPath) {
    // The call answers the size it needs, NUL included, when the buffer is too
    // small; a second call with that size fits, unless the short form grew in
    // between, which counts as having none.
    QByteArray buffer(kPathBufferLength, '\0');
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto size = static_cast<std::uint32_t>(buffer.size());
        const std::uint32_t length = shortPaths_.getShortPathName(LongPath.constData(), buffer.data(), size);
        if (length == 0)
            return {};
        if (length < size)
            return buffer.left(static_cast<qsizetype>(length));
        if (length > static_cast<std::uint32_t>(std::numeric_limits<int>::max()))
            return {};
        buffer = QByteArray(static_cast<qsizetype>(length), '\0');
    }
    return {};
}

void Form1::PlayAVIPictureBox(QString& FileName, tk::PictureBox& Window) {
    QByteArray bytes = FileName.toLocal8Bit();
    PlayAVIPictureBox(bytes, Window);
    FileName = QString::fromLocal8Bit(bytes);
}

std::optional<QString> Form1::videoSizing(tk::PictureBox& Window) {
    const QString ending = Text2.Text().right(4);
    for (const char* audioEnding : kAudioEndings)
        if (ending == QLatin1String(audioEnding))
            return std::nullopt;
    const float width = Window.ScaleWidth() / tk::Screen::TwipsPerPixelX();
    const float height = Window.ScaleHeight() / tk::Screen::TwipsPerPixelY();
    return QStringLiteral("put Media window at 0 0 ") + QString::fromStdString(shortestFloatText(width)) +
           QLatin1Char(' ') + QString::fromStdString(shortestFloatText(height));
}

QString Form1::reasonText(std::uint32_t code) {
    char text[kErrorTextLength] = {};
    if (media_.getErrorString(code, text, kErrorTextLength) && text[0] != '\0')
        return QString::fromLocal8Bit(text);
    return QStringLiteral("The media service answered %1.").arg(code);
}

void Form1::PlayAVIPictureBox(QByteArray& FileName, tk::PictureBox& Window) {
    emit mediaOpening(QFile::decodeName(FileName));
    Window.setMessage({});
    FileName = GetShortName(FileName);
    // No short form means the file system has no such path; the open below
    // then fails on its empty name, which would tell the user less.
    std::uint32_t failure = FileName.isEmpty() ? std::uint32_t{media::kFileNotFound} : 0u;
    const auto note = [&failure](std::uint32_t code) {
        if (failure == 0)
            failure = code;
        return code;
    };
    // Nothing plays unless the last command, Play, succeeds; the reason is
    // the first failure on the way, usually the open's.
    const auto explain = [&](std::uint32_t played) {
        if (played != 0 && failure != 0)
            Window.setMessage(reasonText(failure));
    };
    const std::int32_t handle = Window.hWnd();
    note(sendWithReply(QByteArrayLiteral("Open ") + FileName +
                           QByteArrayLiteral(" type MPEGVideo Alias Media parent ") +
                           QByteArray::number(handle) + QByteArrayLiteral(" style ") +
                           QByteArray(kChildWindowStyle),
                       nullptr, 0));
    tk::DoEvents();

    if (const std::optional<QString> sizing = videoSizing(Window)) {
        if (const std::uint32_t code = note(sendWithReply(*sizing, nullptr, 0)); code != 0) {
            explain(code);
            return;
        }
    }
    tk::DoEvents();
    explain(note(sendWithReply(QStringLiteral("Play Media"), nullptr, 0)));
    tk::DoEvents();
}

} // namespace tovimo::player
