// SPDX-License-Identifier: GPL-3.0-or-later
// How long every command but `open` holds its caller while the engine is
// busy: right after a seek that decodes for seconds (a 1080p file with one
// keyframe), while a read is stuck on a share that stopped answering, and
// with five devices stuck on it at once. Prints one row per command and
// situation: median and worst answer time in milliseconds, and the codes.
//
// usage: tovimo_answer_bench [rounds]   (default 5; needs fuse3 and
// python3-fusepy for the stuck rows, gst-launch-1.0 for the media)
#include "platform/media/mci_service.h"

#include "media_fixtures.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using tovimo::media::MciService;
namespace testing = tovimo::media::testing;

struct Row {
    std::vector<double> ms;
    std::set<std::uint32_t> codes;
};

std::map<std::string, Row> rows;
std::vector<std::string> order;

std::uint32_t timed(MciService& service, const std::string& situation, const std::string& command) {
    char reply[128] = {};
    const auto start = Clock::now();
    const auto code = service.sendString(command.c_str(), reply, sizeof reply);
    const double took = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const std::string key =
        situation + "|" + (command.starts_with("seek a to 9") ? std::string("seek a to 9000") : command);
    if (!rows.count(key))
        order.push_back(key);
    rows[key].ms.push_back(took);
    rows[key].codes.insert(code);
    return code;
}

void quiet(MciService& service, const std::string& command) {
    service.sendString(command.c_str(), nullptr, 0);
}

// Every command but open, as the player and the shell send them.
const char* const kCommands[] = {
    "status a position",
    "status a mode",
    "status a length",
    "status a volume",
    "where a source",
    "where a destination",
    "pause a",
    "resume a",
    "stop a",
    "play a",
    "seek a to 2000",
    "play a from 3000",
    "setaudio a volume to 500",
    "put a window at 0 0 320 240",
};

void decodingSeek(const std::string& clip, int rounds) {
    MciService service;
    for (int round = 0; round < rounds; ++round) {
        for (const char* command : kCommands) {
            quiet(service, "open " + clip + " alias a");
            // Far from the only keyframe: the seek decodes almost the whole file.
            timed(service, "the decoding seek itself", "seek a to " + std::to_string(9000 + round * 10));
            timed(service, "after a decoding seek", command);
            quiet(service, "close all");
        }
    }
}

void stalledRead(const std::string& clip, int rounds) {
    for (int round = 0; round < rounds; ++round) {
        testing::StallingMount mount(clip, std::filesystem::file_size(clip) / 2);
        if (!mount.mounted())
            return;
        {
            MciService service;
            quiet(service, "open " + mount.file() + " alias a");
            quiet(service, "play a");
            mount.waitForStall(std::chrono::seconds(30));
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            for (const char* command : kCommands)
                timed(service, "stalled read", command);
            timed(service, "stalled read", "close a");
            for (const char* name : {"b", "c", "d", "e", "f"})
                quiet(service, "open " + mount.file() + " alias " + name);
            quiet(service, "play all");
            std::this_thread::sleep_for(std::chrono::milliseconds(3000));
            for (const char* command : {"play all from 0", "pause all", "stop all", "close all"})
                timed(service, "five stalled devices", command);
        }
        mount.release();
        for (int i = 0; i < 600 && tovimo::media::runningEngines() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

} // namespace

int main(int argc, char* argv[]) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    ::unsetenv("DISPLAY");
    tovimo::media::initializeProcess();
    testing::ScratchFolder folder;
    const std::string slow = folder.file("one-keyframe.mp4");
    const std::string make = "gst-launch-1.0 -q videotestsrc pattern=snow num-buffers=300 ! "
                             "video/x-raw,width=1920,height=1080,framerate=30/1,format=I420 ! "
                             "x264enc speed-preset=ultrafast bitrate=8000 key-int-max=600 ! h264parse ! "
                             "mp4mux ! filesink location=" +
                             slow + " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) {
        std::fprintf(stderr, "could not make the one-keyframe clip\n");
        return 1;
    }
    decodingSeek(slow, rounds);
    const std::string longClip = folder.file("long.mp4");
    if (testing::StallingMount::unusableReason().empty() && testing::makeLongMp4(longClip))
        stalledRead(longClip, rounds);
    else
        std::fprintf(stderr, "no FUSE here: the stuck rows are left out\n");
    std::printf("| situation | command | median ms | worst ms | codes |\n|---|---|---|---|---|\n");
    for (const std::string& key : order) {
        Row& row = rows[key];
        std::sort(row.ms.begin(), row.ms.end());
        std::string codes;
        for (const auto code : row.codes) {
            if (!codes.empty())
                codes += ' ';
            codes += std::to_string(code);
        }
        const auto bar = key.find('|');
        std::printf("| %s | %s | %.1f | %.1f | %s |\n", key.substr(0, bar).c_str(),
                    key.substr(bar + 1).c_str(), row.ms[row.ms.size() / 2], row.ms.back(), codes.c_str());
    }
    return 0;
}
