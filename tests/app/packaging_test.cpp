// SPDX-License-Identifier: GPL-3.0-or-later
// What a distribution takes from the source tree: manual pages that man
// renders without a warning and that describe the programs as they are, and
// a licence stated in every source file and in the metainfo.
#include "app/command_line.h"
#include "mci_shell.h"
#include "platform/media/command_parser.h"
#include "platform/media/error_codes.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

const QString kSource = QStringLiteral(TOVIMO_SOURCE_DIR);
const QString kBuild = QStringLiteral(TOVIMO_BUILD_DIR);

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The page as installed: configured in the build tree.
QString manPage(const QString& name) {
    return kBuild + QStringLiteral("/data/") + name + QStringLiteral(".1");
}

// The roff text of one section, from its .SH (or .SS) line to the next
// section.
QString section(const QString& page, const QString& macro, const QString& title) {
    const QString text = readText(page);
    const QString start = macro + QLatin1Char(' ') + title + QLatin1Char('\n');
    const qsizetype from = text.indexOf(start);
    if (from < 0)
        return {};
    // A section ends at the next one of its level or above: .SH ends .SS too.
    const qsizetype next = text.indexOf(QLatin1Char('\n') + macro + QLatin1Char(' '), from + start.size());
    const qsizetype chapter = text.indexOf(QStringLiteral("\n.SH "), from + start.size());
    const qsizetype to = next < 0 ? chapter : chapter < 0 ? next : std::min(next, chapter);
    return text.mid(from, to < 0 ? -1 : to - from);
}

// The options a help text names (-e, --help), as roff writes them (\-e, \-\-help).
QSet<QString> optionsIn(const QString& help) {
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])(--?[a-z][a-z-]*)"));
    QSet<QString> found;
    auto matches = option.globalMatch(help);
    while (matches.hasNext())
        found.insert(matches.next().captured(1).replace(QLatin1Char('-'), QStringLiteral("\\-")));
    return found;
}

TEST(ManualPages, RenderWithoutWarnings) {
    for (const char* name : {"tovimo", "tovimo-mci"}) {
        SCOPED_TRACE(name);
        const QString page = manPage(QLatin1String(name));
        ASSERT_TRUE(QFile::exists(page)) << page.toStdString();
        QProcess man;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        environment.insert(QStringLiteral("MANWIDTH"), QStringLiteral("80"));
        man.setProcessEnvironment(environment);
        man.setStandardOutputFile(QProcess::nullDevice());
        man.start(QStringLiteral("man"), {QStringLiteral("--warnings"), QStringLiteral("-l"), page});
        ASSERT_TRUE(man.waitForFinished(60000));
        EXPECT_EQ(man.exitCode(), 0);
        EXPECT_EQ(man.readAllStandardError().toStdString(), std::string());

        const QString text = readText(page);
        for (const char* heading :
             {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "FILES", "ENVIRONMENT", "EXIT STATUS"}) {
            const QStringList alternatives = QString::fromLatin1(heading).split(QLatin1Char('|'));
            EXPECT_TRUE(std::any_of(alternatives.begin(), alternatives.end(), [&](const QString& title) {
                return text.contains(QStringLiteral("\n.SH ") + title + QLatin1Char('\n'));
            })) << heading;
        }
        static const QRegularExpression placeholder(QStringLiteral("@[A-Z_]+@"));
        EXPECT_FALSE(text.contains(placeholder)) << "a placeholder left unconfigured";
    }
}

TEST(ManualPages, DescribeEveryOptionThePrograms) {
    const QString playerOptions =
        section(manPage(QStringLiteral("tovimo")), QStringLiteral(".SH"), QStringLiteral("OPTIONS"));
    const QSet<QString> playerHelp = optionsIn(tovimo::app::helpText());
    EXPECT_TRUE(playerHelp.contains(QStringLiteral("\\-\\-help")));
    for (const QString& option : playerHelp)
        EXPECT_TRUE(playerOptions.contains(option)) << option.toStdString();

    std::ostringstream out;
    std::ostringstream err;
    tovimo::tools::ShellOptions shellOptions;
    ASSERT_EQ(tovimo::tools::readArguments({"--help"}, shellOptions, out, err), 0);
    const QString shellOptionsText =
        section(manPage(QStringLiteral("tovimo-mci")), QStringLiteral(".SH"), QStringLiteral("OPTIONS"));
    QSet<QString> shellHelp = optionsIn(QString::fromStdString(out.str()));
    shellHelp << QStringLiteral("\\-h") << QStringLiteral("\\-\\-help");
    EXPECT_TRUE(shellHelp.contains(QStringLiteral("\\-e")));
    for (const QString& option : shellHelp)
        EXPECT_TRUE(shellOptionsText.contains(option)) << option.toStdString();
}

// Each verb's entry starts a tagged paragraph with the verb in bold; the
// codes are tagged paragraphs of their own.
TEST(ManualPages, ShellPageDescribesEveryVerbAndOnlyCodesTheServiceHas) {
    const QString page = manPage(QStringLiteral("tovimo-mci"));
    const QString commands = section(page, QStringLiteral(".SH"), QStringLiteral("COMMANDS"));
    static const QRegularExpression verbTag(QStringLiteral("\\n\\.T[PQ]\\n\\\\fB([a-z]+)\\\\fR"));
    QSet<int> verbs;
    auto matches = verbTag.globalMatch(commands);
    while (matches.hasNext()) {
        const QString word = matches.next().captured(1);
        const auto verb = tovimo::media::verbOf(word.toStdString());
        ASSERT_TRUE(verb.has_value()) << word.toStdString() << " is described but is no verb";
        verbs.insert(static_cast<int>(*verb));
    }
    EXPECT_EQ(verbs.size(), static_cast<int>(tovimo::media::Verb::Window) + 1) << "every verb described";

    const QString codes = section(page, QStringLiteral(".SS"), QStringLiteral("Return codes"));
    static const QRegularExpression codeTag(QStringLiteral("\\n\\.TP\\n\\.B ([0-9]+)\\n"));
    int listed = 0;
    auto codeMatches = codeTag.globalMatch(codes);
    while (codeMatches.hasNext()) {
        const unsigned code = codeMatches.next().captured(1).toUInt();
        EXPECT_NE(tovimo::media::errorText(code), nullptr) << code;
        ++listed;
    }
    EXPECT_GT(listed, 20);
    // The codes the notes on the command parser name, each described.
    for (const unsigned code :
         {tovimo::media::kUnrecognizedKeyword, tovimo::media::kUnrecognizedCommand,
          tovimo::media::kInvalidDeviceName, tovimo::media::kMissingParameter, tovimo::media::kBadInteger,
          tovimo::media::kFileNotFound, tovimo::media::kInternalError, tovimo::media::kOutOfRange,
          tovimo::media::kFlagsNotCompatible, tovimo::media::kDuplicateFlags, tovimo::media::kNoClosingQuote,
          tovimo::media::kExtraCharacters, tovimo::media::kNoWindow})
        EXPECT_TRUE(codes.contains(QStringLiteral("\n.B %1\n").arg(code))) << code;
}

// The files of the tree, or an empty list where git cannot tell them.
QStringList trackedFiles() {
    QProcess git;
    git.start(QStringLiteral("git"), {QStringLiteral("-C"), kSource, QStringLiteral("ls-files")});
    if (!git.waitForFinished(60000) || git.exitStatus() != QProcess::NormalExit || git.exitCode() != 0)
        return {};
    return QString::fromUtf8(git.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Source files, walked from the disk: the tree without its build folders.
QStringList walkedFiles() {
    QStringList files;
    QDirIterator it(kSource, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString relative = it.next().mid(kSource.size() + 1);
        if (relative.startsWith(QLatin1String("build")) || relative.startsWith(QLatin1String(".git/")) ||
            relative.startsWith(QLatin1String(".cache/")))
            continue;
        files << relative;
    }
    return files;
}

bool isSourceFile(const QString& relative) {
    static const QSet<QString> suffixes{
        QStringLiteral("cpp"), QStringLiteral("h"),     QStringLiteral("c"),  QStringLiteral("py"),
        QStringLiteral("sh"),  QStringLiteral("cmake"), QStringLiteral("in"), QStringLiteral("desktop"),
        QStringLiteral("svg"), QStringLiteral("xml")};
    // The Debian package's copyright and changelog have formats of their own,
    // with no room for a comment.
    if (relative.startsWith(QLatin1String("data/debian/")))
        return false;
    const QFileInfo info(relative);
    if (info.fileName() == QLatin1String("CMakeLists.txt") || suffixes.contains(info.suffix()))
        return true;
    QFile file(kSource + QLatin1Char('/') + relative);
    return file.open(QIODevice::ReadOnly) && file.read(2) == "#!";
}

TEST(Licence, EverySourceFileStatesIt) {
    QStringList files = trackedFiles();
    if (files.isEmpty())
        files = walkedFiles();
    int checked = 0;
    for (const QString& relative : files) {
        if (!isSourceFile(relative))
            continue;
        ++checked;
        QFile file(kSource + QLatin1Char('/') + relative);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << relative.toStdString();
        QByteArray head;
        for (int line = 0; line < 3 && !file.atEnd(); ++line)
            head += file.readLine();
        // The metainfo is metadata, under the licence it names itself.
        const QByteArray licence =
            relative.endsWith(QLatin1String(".metainfo.xml")) ? "CC0-1.0" : "GPL-3.0-or-later";
        EXPECT_TRUE(head.contains("SPDX-License-Identifier: " + licence))
            << relative.toStdString()
            << " does not start with SPDX-License-Identifier: " << licence.constData();
    }
    EXPECT_GT(checked, 150);
}

TEST(Licence, FullTextAndMetainfoName) {
    const QString licence = readText(kSource + QStringLiteral("/LICENSE"));
    EXPECT_TRUE(licence.contains(QStringLiteral("GNU GENERAL PUBLIC LICENSE")));
    EXPECT_TRUE(licence.contains(QStringLiteral("Version 3, 29 June 2007")));
    const QString debianCopy = QStringLiteral("/usr/share/common-licenses/GPL-3");
    if (QFile::exists(debianCopy)) {
        EXPECT_EQ(licence, readText(debianCopy));
    }

    const QString metainfo = readText(kSource + QStringLiteral("/data/" TOVIMO_APP_ID ".metainfo.xml"));
    EXPECT_TRUE(metainfo.contains(QStringLiteral("<project_license>GPL-3.0-or-later</project_license>")));
    EXPECT_TRUE(metainfo.contains(QStringLiteral("<metadata_license>CC0-1.0</metadata_license>")));

    const QString copyright = readText(kSource + QStringLiteral("/data/debian/copyright"));
    EXPECT_TRUE(copyright.contains(QStringLiteral("Files: *\nCopyright: ")));
    EXPECT_TRUE(copyright.contains(QStringLiteral("License: GPL-3+\n")));
    EXPECT_TRUE(copyright.contains(QStringLiteral("Files: data/" TOVIMO_APP_ID ".metainfo.xml\n")));
    EXPECT_TRUE(copyright.contains(QStringLiteral("/usr/share/common-licenses/GPL-3")));
}

} // namespace
