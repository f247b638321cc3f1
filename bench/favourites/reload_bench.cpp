// SPDX-License-Identifier: GPL-3.0-or-later
// Times the reload that start-up runs, on a favourites file of 10,000
// entries: first the file format alone, then the whole reload into the two
// lists of a player window. Prints the minimum and median of several runs.
#include "favourites/favourites_file.h"
#include "favourites/favourites_store.h"
#include "platform/media/null_media_service.h"
#include "platform/toolkit/app.h"
#include "player/form1_access.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kEntries = 10000;
constexpr int kRuns = 15;

std::string favouritesContent() {
    std::string content;
    for (int i = 0; i < kEntries; ++i)
        content += "\r\nFavourite number " + std::to_string(i) + "@@/home/user/Videos/some folder/clip " +
                   std::to_string(i) + ".avi";
    return content;
}

void report(const char* what, const std::function<void()>& run) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s min %8.2f ms   median %8.2f ms   max %8.2f ms\n", what, ms.front(), ms[ms.size() / 2],
                ms.back());
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    const std::string content = favouritesContent();
    const std::string file = QFile::encodeName(folder.filePath(QStringLiteral("datadoc.tvq"))).toStdString();
    if (tovimo::favourites::replaceFileBytes(file, content) != 0)
        return 1;
    tovimo::tk::App::setPathForTesting(folder.path());
    std::printf("%d entries, %zu bytes\n", kEntries, content.size());

    report("read and split the file", [&] {
        const auto lines = tovimo::favourites::splitLines(tovimo::favourites::readFileBytes(file).bytes);
        std::size_t titles = 0;
        for (const auto& line : lines)
            titles += tovimo::favourites::titleOf(line).size();
        if (titles == 0)
            std::abort();
    });

    tovimo::media::NullMediaService media;
    report("first reload in a new window", [&] {
        auto form = std::make_unique<tovimo::player::Form1>(media, media);
        tovimo::player::Form1Access(*form).ReloadFavourites();
        if (form->Combo2.count() != kEntries)
            std::abort();
    });

    tovimo::player::Form1 form(media, media);
    tovimo::player::Form1Access access(form);
    report("reload of filled lists (as after an add)", [&] { access.ReloadFavourites(); });
    tovimo::tk::App::setPathForTesting({});
    return 0;
}
