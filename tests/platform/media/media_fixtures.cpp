// SPDX-License-Identifier: GPL-3.0-or-later
#include "media_fixtures.h"

#include "platform/media/mci_service.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <signal.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <thread>
#include <tuple>
#include <unistd.h>

extern char** environ;

namespace tovimo::media::testing {

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout,
             std::chrono::milliseconds step) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(step);
    }
    return true;
}

std::string answer(MciService& service, const std::string& command, std::uint32_t& code) {
    char reply[128] = {};
    code = service.sendString(command.c_str(), reply, sizeof reply);
    return reply;
}

ScratchFolder::ScratchFolder() {
    const char* base = std::getenv("TOVIMO_TEST_TMP");
    std::filesystem::path root = base && *base ? base : std::filesystem::temp_directory_path().string();
    std::filesystem::create_directories(root);
    std::string pattern = (root / "media-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a scratch folder under " + root.string());
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

namespace {

const char* const kVideo = "videotestsrc num-buffers=60 ! video/x-raw,width=320,height=240,framerate=30/1";
const char* const kAudio =
    "audiotestsrc samplesperbuffer=4800 num-buffers=20 ! audio/x-raw,rate=48000,channels=2";

std::string pipelineFor(const std::string& kind, const std::string& path) {
    const std::string video = kVideo;
    const std::string audio = kAudio;
    const std::string sink = " ! filesink location=\"" + path + "\"";
    const std::string h264 = video + ",format=I420 ! x264enc speed-preset=ultrafast ! h264parse";
    const std::string aac = audio + " ! audioconvert ! avenc_aac ! aacparse";
    if (kind == "mp4")
        return h264 + " ! mp4mux name=m" + sink + " " + aac + " ! m.";
    if (kind == "mkv")
        return h264 + " ! matroskamux name=m" + sink + " " + aac + " ! m.";
    if (kind == "webm")
        return video + " ! vp8enc deadline=1 ! webmmux name=m" + sink + " " + audio +
               " ! audioconvert ! vorbisenc ! m.";
    if (kind == "avi")
        return video + " ! avenc_mpeg4 ! avimux name=m" + sink + " " + audio +
               " ! audioconvert ! lamemp3enc ! mpegaudioparse ! m.";
    if (kind == "mpg")
        return video + " ! mpeg2enc ! mpegpsmux name=m" + sink + " " + audio +
               " ! audioconvert ! avenc_mp2 ! m.";
    if (kind == "mp3")
        return audio + " ! audioconvert ! lamemp3enc ! xingmux" + sink;
    if (kind == "wav")
        return audio + " ! audioconvert ! wavenc" + sink;
    return {};
}

} // namespace

bool makeMedia(const std::string& kind, const std::string& path) {
    const std::string pipeline = pipelineFor(kind, path);
    if (pipeline.empty())
        return false;
    const std::string command = "timeout 120 gst-launch-1.0 -q " + pipeline + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && std::filesystem::file_size(path) > 0;
}

bool makeRotatedMp4(const std::string& path) {
    const std::string pipeline = std::string(kVideo) +
                                 ",format=I420 ! x264enc speed-preset=ultrafast ! h264parse ! mp4mux ! "
                                 "filesink location=\"" +
                                 path + "\"";
    if (std::system(("timeout 120 gst-launch-1.0 -q " + pipeline + " >/dev/null 2>&1").c_str()) != 0)
        return false;
    std::string bytes = readFile(path);
    const std::size_t box = bytes.find("tkhd");
    // A version-0 track header: the matrix starts 48 bytes into the box,
    // which begins 4 bytes before its name.
    if (box == std::string::npos || box < 4 || bytes[box + 4] != 0 || box + 44 + 36 > bytes.size())
        return false;
    const std::uint32_t matrix[9] = {0, 0x10000, 0, 0xFFFF0000u, 0, 0, 0, 0, 0x40000000};
    std::size_t at = box - 4 + 48;
    for (const std::uint32_t value : matrix)
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes[at++] = static_cast<char>((value >> shift) & 0xFF);
    return writeFile(path, bytes);
}

bool makeLongMp4(const std::string& path, int seconds) {
    const std::string pipeline =
        "videotestsrc num-buffers=" + std::to_string(30 * seconds) +
        " ! video/x-raw,width=320,height=240,framerate=30/1,format=I420 ! "
        "x264enc speed-preset=ultrafast bitrate=1500 ! h264parse ! mp4mux name=m ! filesink location=\"" +
        path + "\" audiotestsrc samplesperbuffer=4800 num-buffers=" + std::to_string(10 * seconds) +
        " ! audio/x-raw,rate=48000,channels=2 ! "
        "audioconvert ! avenc_aac ! aacparse ! m.";
    const std::string command = "timeout 120 gst-launch-1.0 -q " + pipeline + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0 && std::filesystem::file_size(path) > 1024 * 1024;
}

std::string StallingMount::unusableReason() {
    const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return std::string("/dev/fuse cannot be opened: ") + std::strerror(errno);
    ::close(fd);
    return {};
}

StallingMount::StallingMount(const std::string& source, std::int64_t stallAt) {
    name_ = std::filesystem::path(source).filename().string();
    std::filesystem::create_directory(folder_.file("mount"));
    const std::string script = TOVIMO_STALLING_MOUNT;
    const std::string offset = std::to_string(stallAt);
    const std::string mountPoint = folder_.file("mount");
    const std::string release = folder_.file("release");
    const std::string log = folder_.file("server.log");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    // Debian's interpreter: fusepy is a Debian package.
    const char* argv[] = {"/usr/bin/python3", script.c_str(),  source.c_str(), mountPoint.c_str(),
                          offset.c_str(),     release.c_str(), nullptr};
    const int spawned = posix_spawn(&server_, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        server_ = -1;
        return;
    }
    for (int i = 0; i < 200 && !mounted_; ++i) {
        std::error_code ignored;
        mounted_ = std::filesystem::exists(file(), ignored);
        if (!mounted_)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (::waitpid(server_, nullptr, WNOHANG) == server_) {
            server_ = -1;
            break;
        }
    }
}

StallingMount::~StallingMount() {
    release();
    const std::string unmount = "fusermount3 -u '" + folder_.file("mount") + "' 2>/dev/null || umount -l '" +
                                folder_.file("mount") + "' 2>/dev/null";
    if (mounted_)
        std::ignore = std::system(unmount.c_str());
    if (server_ > 0) {
        for (int i = 0; i < 100; ++i) {
            if (::waitpid(server_, nullptr, WNOHANG) == server_) {
                server_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (server_ > 0) {
            ::kill(server_, SIGKILL);
            ::waitpid(server_, nullptr, 0);
        }
    }
}

std::string StallingMount::file() const {
    return folder_.file("mount") + '/' + name_;
}

bool StallingMount::stalled() const {
    return readFile(folder_.file("server.log")).find("stalling a read") != std::string::npos;
}

bool StallingMount::waitForStall(std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!stalled()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

void StallingMount::release() {
    writeFile(folder_.file("release"), "");
}

bool makeMidi(const std::string& path) {
    // 96 ticks a beat at the default 120 beats a minute: 192 ticks = 1 s.
    const unsigned char track[] = {
        0x00, 0xC0, 0x00,             // piano
        0x00, 0x90, 0x3C, 0x64,       // C4 on
        0x81, 0x40, 0x80, 0x3C, 0x40, // off after two beats
        0x00, 0x90, 0x40, 0x64,       // E4 on
        0x81, 0x40, 0x80, 0x40, 0x40, // off after two beats
        0x00, 0xFF, 0x2F, 0x00,       // end of track
    };
    std::string bytes = std::string("MThd\0\0\0\x06\0\0\0\x01\0\x60", 14);
    bytes += "MTrk";
    bytes += std::string{'\0', '\0', '\0', static_cast<char>(sizeof track)};
    bytes.append(reinterpret_cast<const char*>(track), sizeof track);
    return writeFile(path, bytes);
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace tovimo::media::testing
