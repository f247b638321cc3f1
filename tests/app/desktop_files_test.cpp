// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop entry and the AppStream metainfo: valid for the desktop's own
// tools, named by one application id, and installed together.
#include "platform/desktop/mpris_service.h"
#include "support/test_paths.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

const QString kId = QStringLiteral(TOVIMO_APP_ID);
const QString kData = QStringLiteral(TOVIMO_SOURCE_DIR "/data/");

struct ToolRun {
    int exitCode = -1;
    QString output;
};
ToolRun run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAll())};
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString desktopKey(const QString& key) {
    static const QRegularExpression line(QStringLiteral("^([A-Za-z]+)=(.*)$"),
                                         QRegularExpression::MultilineOption);
    auto matches = line.globalMatch(readText(kData + kId + QStringLiteral(".desktop")));
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        if (match.captured(1) == key)
            return match.captured(2);
    }
    return {};
}

QSet<QString> metainfoMediaTypes() {
    static const QRegularExpression type(QStringLiteral("<mediatype>([^<]+)</mediatype>"));
    QSet<QString> types;
    auto matches = type.globalMatch(readText(kData + kId + QStringLiteral(".metainfo.xml")));
    while (matches.hasNext())
        types.insert(matches.next().captured(1));
    return types;
}

TEST(DesktopFiles, PassTheDesktopValidators) {
    const ToolRun entry =
        run(QStringLiteral("desktop-file-validate"), {kData + kId + QStringLiteral(".desktop")});
    EXPECT_EQ(entry.exitCode, 0) << entry.output.toStdString();
    EXPECT_EQ(entry.output.trimmed(), QString()) << "no warnings either";
    const ToolRun metainfo =
        run(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                             kData + kId + QStringLiteral(".metainfo.xml")});
    EXPECT_EQ(metainfo.exitCode, 0) << metainfo.output.toStdString();
}

TEST(DesktopFiles, OpenFilesAndOfferTheSameMediaTypes) {
    EXPECT_EQ(desktopKey(QStringLiteral("Exec")), QStringLiteral("tovimo %f"));
    EXPECT_EQ(desktopKey(QStringLiteral("Icon")), kId);
    const QStringList listed =
        desktopKey(QStringLiteral("MimeType")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    const QSet<QString> entryTypes(listed.begin(), listed.end());
    for (const char* type :
         {"video/mp4", "video/x-matroska", "video/webm", "video/x-msvideo", "video/mpeg", "video/quicktime",
          "audio/mpeg", "audio/x-wav", "audio/midi", "audio/ogg", "audio/flac"})
        EXPECT_TRUE(entryTypes.contains(QLatin1String(type))) << type;
    EXPECT_EQ(entryTypes, metainfoMediaTypes());
    const QStringList offered = tovimo::desktop::MprisService::supportedMimeTypes();
    EXPECT_EQ(entryTypes, QSet<QString>(offered.begin(), offered.end())) << "MPRIS SupportedMimeTypes";

    const QString metainfo = readText(kData + kId + QStringLiteral(".metainfo.xml"));
    EXPECT_TRUE(metainfo.contains(QStringLiteral("<id>") + kId + QStringLiteral("</id>")));
    EXPECT_TRUE(metainfo.contains(QStringLiteral("<launchable type=\"desktop-id\">") + kId +
                                  QStringLiteral(".desktop</launchable>")));
    for (const char* element : {"<name>", "<summary>", "<description>", "<content_rating"})
        EXPECT_TRUE(metainfo.contains(QLatin1String(element))) << element;
}

TEST(DesktopFiles, InstallPutsEachWhereTheDesktopLooks) {
    tovimo::testing::TempFolder prefix;
    const ToolRun install =
        run(QStringLiteral("cmake"), {QStringLiteral("--install"), QStringLiteral(TOVIMO_BUILD_DIR),
                                      QStringLiteral("--prefix"), prefix.path()});
    ASSERT_EQ(install.exitCode, 0) << install.output.toStdString();
    for (const QString& file :
         {QStringLiteral("bin/tovimo"), QStringLiteral("share/applications/") + kId + ".desktop",
          QStringLiteral("share/metainfo/") + kId + ".metainfo.xml",
          QStringLiteral("share/icons/hicolor/scalable/apps/") + kId + ".svg",
          QStringLiteral("bin/tovimo-mci"), QStringLiteral("share/man/man1/tovimo.1.gz"),
          QStringLiteral("share/man/man1/tovimo-mci.1.gz")})
        EXPECT_TRUE(QFile::exists(prefix.file(file))) << file.toStdString();
    // The copyright file and changelog of the Debian package go into it alone.
    EXPECT_FALSE(QFile::exists(prefix.file(QStringLiteral("share/doc/tovimo"))));
}

} // namespace
