// SPDX-License-Identifier: GPL-3.0-or-later
// Times how long the folder list takes to open a folder of 10,000, 40,000
// and 80,000 subfolders, and the file list a folder of 100,000 files; the
// target is 80,000 subfolders in under 200 ms. Prints the minimum and median
// of several runs, in wall-clock time and in the process's CPU time (which
// other work on a busy machine disturbs less), and exits 1 when the median
// wall-clock time misses the target.
#include "platform/toolkit/list_boxes.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kRuns = 9;
constexpr double kTargetMs = 200;
constexpr int kTargetFolders = 80000;

double cpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

double medianMs(const char* what, const std::function<void()>& run) {
    std::vector<double> wall, cpu;
    for (int i = 0; i < kRuns; ++i) {
        const double cpuStart = cpuMs();
        const auto start = std::chrono::steady_clock::now();
        run();
        wall.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        cpu.push_back(cpuMs() - cpuStart);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("%-40s wall min %7.1f median %7.1f ms   cpu min %7.1f median %7.1f ms\n", what, wall.front(),
                wall[wall.size() / 2], cpu.front(), cpu[cpu.size() / 2]);
    return wall[wall.size() / 2];
}

// A folder holding `count` subfolders or empty files, named like a camera's.
QString makeFolder(const QString& base, int count, bool folders) {
    const QString folder = base + QStringLiteral("/%1-%2").arg(folders ? "dirs" : "files").arg(count);
    QDir().mkpath(folder);
    const QByteArray prefix = QFile::encodeName(folder) + "/IMG_";
    for (int i = 0; i < count; ++i) {
        const QByteArray name = prefix + QByteArray::number(i);
        if (folders)
            ::mkdir(name.constData(), 0755);
        else
            ::close(::open(name.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    }
    return folder;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QTemporaryDir base;
    if (!base.isValid())
        return 1;
    QWidget window;
    tovimo::tk::DirListBox folders(&window);
    tovimo::tk::FileListBox files(&window);
    folders.resize(140, 150);
    files.resize(240, 175);
    window.show();

    double target = 0;
    for (int count : {10000, 40000, kTargetFolders}) {
        const QString folder = makeFolder(base.path(), count, true);
        const QByteArray what = QByteArray::number(count) + " subfolders in the folder list";
        // Alternate with the base folder, so that every run fills the list anew.
        const double median = medianMs(what.constData(), [&] {
            folders.setPath(base.path());
            folders.setPath(folder);
            QApplication::processEvents();
        });
        if (count == kTargetFolders)
            target = median;
    }
    const QString many = makeFolder(base.path(), 100000, false);
    medianMs("100000 files in the file list", [&] {
        files.setPath(base.path());
        files.setPath(many);
        QApplication::processEvents();
    });
    std::printf("target: %d subfolders under %.0f ms: %s\n", kTargetFolders, kTargetMs,
                target < kTargetMs ? "met" : "MISSED");
    return target < kTargetMs ? 0 : 1;
}
