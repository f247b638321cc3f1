// SPDX-License-Identifier: GPL-3.0-or-later
// Soak of the media service: many cycles, each of open, put, play, seek,
// play, pause, resume and close on every one of the generated fixtures (mp4,
// mkv, webm, avi, mpg, mp3, wav, mid) in turn, with the video in a child of
// an X window of our own. Prints the process's resident memory, open files,
// threads and the parent's X child windows at cycle 1, 50 and every --every
// cycles, then the growth from cycle 50 to the last.
//
// Run by hand under an X server (Xvfb will do):
//   build/bench/media/tovimo_media_soak [--cycles 1000] [--every 100] [--play-ms 30]
//                                       [--default-allocator]
// --default-allocator leaves glibc's malloc and GLib's slice allocator as
// they are, to compare with the tuning the programs apply at start-up.
#include "media_fixtures.h"
#include "platform/media/allocator_tuning.h"
#include "platform/media/mci_service.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <malloc.h>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using tovimo::media::MciService;
namespace fixtures = tovimo::media::testing;

struct Options {
    int cycles = 1000;
    int every = 100;
    int playMs = 30;
};

bool readOptions(int argc, char* argv[], Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool hasValue = i + 1 < argc;
        if (word == "--cycles" && hasValue)
            options.cycles = std::atoi(argv[++i]);
        else if (word == "--every" && hasValue)
            options.every = std::atoi(argv[++i]);
        else if (word == "--play-ms" && hasValue)
            options.playMs = std::atoi(argv[++i]);
        else if (word == "--default-allocator")
            continue; // taken before main: see tuneAllocatorsUnlessAsked
        else
            return false;
    }
    return options.cycles > 0 && options.every > 0 && options.playMs >= 0;
}

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return -1;
}

int entriesIn(const char* folder) {
    int count = 0;
    std::error_code error;
    for (auto it = std::filesystem::directory_iterator(folder, error);
         !error && it != std::filesystem::directory_iterator(); it.increment(error))
        ++count;
    return count;
}

int childWindows(Display* display, Window parent) {
    Window root = 0;
    Window ignored = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, parent, &root, &ignored, &children, &count))
        return -1;
    if (children)
        XFree(children);
    return static_cast<int>(count);
}

// Bytes the program holds in malloc'd blocks: growth here, unlike growth of
// the resident size alone, is memory still in use.
long heapInUseKilobytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

struct Sample {
    int cycle;
    long rssKb;
    long heapKb;
    int files;
    int threads;
    int windows;
};

class Soak {
public:
    Soak(MciService& service, Window parent, int playMs)
        : service_(service), parent_(parent), playMs_(playMs) {}

    // One file, from open to close. A failed open is counted alone: the
    // commands after it would only answer that the device is not open.
    void run(const std::string& path) {
        kind_ = path.substr(path.rfind('.') + 1);
        const auto opened = std::chrono::steady_clock::now();
        if (!send("open " + path + " type MPEGVideo alias soak parent " + std::to_string(parent_) +
                  " style 1073741824")) {
            const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - opened;
            longestFailedOpen_ = std::max(longestFailedOpen_, waited.count());
            return;
        }
        send("put soak window at 0 0 320 240");
        std::string length;
        send("status soak length", &length);
        send("play soak");
        pause();
        send("seek soak to " + std::to_string(std::atol(length.c_str()) / 2));
        send("play soak");
        pause();
        send("pause soak");
        send("resume soak");
        pause();
        send("close soak");
    }

    const std::map<std::string, int>& failures() const { return failures_; }
    double longestFailedOpen() const { return longestFailedOpen_; }

private:
    bool send(const std::string& command, std::string* replyText = nullptr) {
        char reply[128] = "";
        const auto code = service_.sendString(command.c_str(), reply, sizeof reply);
        if (code != 0)
            ++failures_[command.substr(0, command.find(' ')) + " " + std::to_string(code) + " (" + kind_ +
                        ")"];
        else if (replyText)
            *replyText = reply;
        return code == 0;
    }

    void pause() const { std::this_thread::sleep_for(std::chrono::milliseconds(playMs_)); }

    MciService& service_;
    Window parent_;
    int playMs_;
    std::map<std::string, int> failures_;
    std::string kind_;
    double longestFailedOpen_ = 0;
};

} // namespace

// Before any library's constructor, as the player does; --default-allocator
// leaves glibc and GLib as they come, to measure what the tuning saves.
static void tuneAllocatorsUnlessAsked(int argc, char** argv, char** envp) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--default-allocator") == 0)
            return;
    tovimo::media::tuneAllocators(argc, argv, envp);
}
[[gnu::used,
  gnu::section(".preinit_array")]] static void (*const kTuneAllocators)(int, char**,
                                                                        char**) = &tuneAllocatorsUnlessAsked;

int main(int argc, char* argv[]) {
    Options options;
    if (!readOptions(argc, argv, options)) {
        std::cerr
            << "usage: tovimo_media_soak [--cycles N] [--every N] [--play-ms MS] [--default-allocator]\n";
        return 2;
    }
    tovimo::media::initializeProcess();

    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::cerr << "tovimo_media_soak: no X display\n";
        return 1;
    }
    const Window parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 640, 480, 0, 0,
                                              BlackPixel(display, DefaultScreen(display)));
    XMapWindow(display, parent);
    XSync(display, False);

    fixtures::ScratchFolder folder;
    std::vector<std::string> paths;
    for (const char* kind : {"mp4", "mkv", "webm", "avi", "mpg", "mp3", "wav"}) {
        paths.push_back(folder.file(std::string("clip.") + kind));
        if (!fixtures::makeMedia(kind, paths.back())) {
            std::cerr << "tovimo_media_soak: cannot make the " << kind << " fixture\n";
            return 1;
        }
    }
    paths.push_back(folder.file("clip.mid"));
    if (!fixtures::makeMidi(paths.back()))
        return 1;

    MciService service;
    Soak soak(service, parent, options.playMs);
    std::vector<Sample> samples;
    const auto start = std::chrono::steady_clock::now();
    std::printf("%8s %10s %10s %6s %8s %8s %8s\n", "cycle", "rss_kb", "heap_kb", "files", "threads",
                "windows", "seconds");
    for (int cycle = 1; cycle <= options.cycles; ++cycle) {
        for (const auto& path : paths)
            soak.run(path);
        if (cycle == 1 || cycle == 50 || cycle % options.every == 0 || cycle == options.cycles) {
            samples.push_back(Sample{cycle, residentKilobytes(), heapInUseKilobytes(),
                                     entriesIn("/proc/self/fd"), entriesIn("/proc/self/task"),
                                     childWindows(display, parent)});
            const Sample& s = samples.back();
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            std::printf("%8d %10ld %10ld %6d %8d %8d %8.1f\n", s.cycle, s.rssKb, s.heapKb, s.files, s.threads,
                        s.windows, elapsed.count());
            std::fflush(stdout);
        }
    }

    for (const auto& [what, count] : soak.failures())
        std::printf("failed: %s x%d\n", what.c_str(), count);
    if (soak.longestFailedOpen() > 0)
        std::printf("longest failed open: %.1f s\n", soak.longestFailedOpen());
    const Sample* reference = nullptr;
    for (const auto& s : samples)
        if (s.cycle == 50)
            reference = &s;
    if (reference) {
        const Sample& last = samples.back();
        std::printf("growth from cycle 50 to %d: rss %+.1f MB, heap in use %+.1f MB, files %+d, threads %+d, "
                    "windows %+d\n",
                    last.cycle, (last.rssKb - reference->rssKb) / 1024.0,
                    (last.heapKb - reference->heapKb) / 1024.0, last.files - reference->files,
                    last.threads - reference->threads, last.windows - reference->windows);
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
    return soak.failures().empty() ? 0 : 1;
}
