// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/test_media.h"

#include <QFile>
#include <QProcess>
#include <QStringList>

namespace tovimo::testing {
namespace {

// `description` is a gst-launch-1.0 pipeline ending in a filesink, whose
// location is added as one argument so that the path may hold blanks.
bool runPipeline(const QString& description, const QString& path) {
    QProcess process;
    process.start(QStringLiteral("gst-launch-1.0"),
                  QStringList{QStringLiteral("-q")} +
                      description.split(QLatin1Char(' '), Qt::SkipEmptyParts) +
                      QStringList{QStringLiteral("location=") + path});
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

const QString kH264Mp4 = QStringLiteral("video/x-raw,format=I420,width=320,height=240,framerate=10/1 ! "
                                        "x264enc ! mp4mux ! filesink");

} // namespace

bool makeBlueVideo(const QString& path) {
    return runPipeline(QStringLiteral("videotestsrc num-buffers=105 pattern=blue ! ") + kH264Mp4, path);
}

bool makeQuartersVideo(const QString& path) {
    QString description;
    for (int quarter = 0; quarter < 4; ++quarter)
        description +=
            QStringLiteral("videotestsrc num-buffers=105 pattern=solid-color foreground-color=0xFF%1 ! "
                           "video/x-raw,width=160,height=120,framerate=10/1 ! mix.sink_%2 ")
                .arg(kQuarterColours[quarter], 6, 16, QLatin1Char('0'))
                .arg(quarter);
    description += QStringLiteral("compositor name=mix background=black ");
    for (int quarter = 0; quarter < 4; ++quarter)
        description += QStringLiteral("sink_%1::xpos=%2 sink_%1::ypos=%3 ")
                           .arg(quarter)
                           .arg(quarter % 2 * 160)
                           .arg(quarter / 2 * 120);
    return runPipeline(description + QStringLiteral("! ") + kH264Mp4, path);
}

bool makeMp3(const QString& path) {
    return runPipeline(QStringLiteral("audiotestsrc num-buffers=105 samplesperbuffer=4410 ! "
                                      "audio/x-raw,rate=44100,channels=1 ! lamemp3enc ! xingmux ! filesink"),
                       path);
}

bool makeMidi(const QString& path) {
    // Format 0, 480 ticks a quarter at 120 bpm: 10080 ticks are 10.5 s.
    const unsigned char track[] = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, // tempo 500000 us
                                   0x00, 0xC0, 0x00,                         // piano
                                   0x00, 0x90, 0x3C, 0x64,                   // note on
                                   0xCE, 0x60, 0x80, 0x3C, 0x40,             // 10080 ticks later: off
                                   0x00, 0xFF, 0x2F, 0x00};
    QByteArray bytes("MThd\0\0\0\x06\0\0\0\x01\x01\xE0MTrk\0\0\0", 21);
    bytes.append(static_cast<char>(sizeof track));
    bytes.append(reinterpret_cast<const char*>(track), sizeof track);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace tovimo::testing
