// How fast and how small the FILE command's request building is on a large
// file. Generates a Shift_JIS file of a million lines (about 30 MB) and
// measures, in one run:
//   - building the full range ('/0-2147483647') against the bare codec round
//     trip over the same bytes (decode it all to UTF-16, encode it back), with
//     the codec the native build uses, side by side and repeated;
//   - the same building followed by the Shift_JIS encoding a run sends;
//   - `iconv -f CP932 -t UTF-16LE` over the file, for scale;
//   - the peak memory of a process that builds the full range, and the default
//     range, each measured in a child of its own.
//
// Usage: vek_file_bench [work directory]   (default: the current directory)

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "text/Failure.h"
#include "FakePlatform.h"
#include "request/FileRequest.h"
#include "text/Text.h"

extern char** environ;

namespace vek {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 1'000'000;
constexpr int kRepeats = 5;
constexpr const char* kFileName = "vek-file-bench.txt";
constexpr const char16_t* kFileName16 = u"vek-file-bench.txt";

// The test double with real files: existence and reading go to the disk, so
// that the file is streamed as vek.exe streams it and not held in memory.
class DiskPlatform : public FakePlatform {
public:
    DiskPlatform() : FakePlatform(932) {}

    bool FileExists(std::u16string_view path) const override {
        std::error_code error;
        return fs::is_regular_file(Encode(CodePage::Utf8, path), error);
    }

    std::unique_ptr<InputFile> OpenForRead(std::u16string_view path) override {
        const int fd = open(Encode(CodePage::Utf8, path).c_str(), O_RDONLY);
        if (fd < 0)
            throw RuntimeFailure(FailureKind::FileError, u"cannot open " + std::u16string(path));
        return std::make_unique<DiskInput>(fd);
    }

private:
    class DiskInput : public InputFile {
    public:
        explicit DiskInput(int fd) : fd_(fd) {}
        ~DiskInput() override { close(fd_); }
        std::size_t Read(std::span<char> buffer) override {
            for (;;) {
                const ssize_t got = read(fd_, buffer.data(), buffer.size());
                if (got >= 0) return static_cast<std::size_t>(got);
                if (errno != EINTR) throw RuntimeFailure(FailureKind::FileError, u"read failed");
            }
        }

    private:
        int fd_;
    };
};

// A million lines of mixed Japanese and ASCII text, CR LF ended, about 30
// bytes each: kanji and kana, half-width katakana, NEC and IBM extensions and
// trail bytes that are a backslash.
std::string GenerateFile() {
    const std::vector<std::string> words = {
        "\x93\xfa\x96\x7b\x8c\xea",          // 日本語
        "\x82\xcc",                          // の
        "\x83\x65\x83\x4c\x83\x58\x83\x67",  // テキスト
        "\x95\x5c\x8e\xa6",                  // 表示
        "\x83\x5c\x83\x74\x83\x67",          // ソフト
        "\xb6\xc0\xb6\xc5",                  // ｶﾀｶﾅ
        "\x87\x40\x87\x41",                  // ①②
        "\xfb\xfc",                          // 髙
        "abc",
        " ",
        "\x81\x60",  // ～
        "12345",
        "\x81\x42",  // 。
    };
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(kLines) * 32);
    std::uint32_t seed = 20240601;
    for (int line = 0; line < kLines; ++line) {
        const std::size_t lineStart = bytes.size();
        bytes += std::to_string(line);
        bytes += ':';
        const std::size_t target = 20 + (seed >> 16) % 16;
        while (bytes.size() - lineStart < target) {
            seed = seed * 1103515245u + 12345u;
            bytes += words[(seed >> 16) % words.size()];
        }
        bytes += "\r\n";
    }
    return bytes;
}

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Runs f in a child process and returns the child's peak resident set in bytes.
std::size_t PeakRssOfChild(const std::function<void()>& f) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(1);
    }
    if (pid == 0) {
        int code = 0;
        try {
            f();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child failed: %s\n", e.what());
            code = 1;
        }
        std::fflush(stdout);
        _exit(code);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "measuring child failed\n");
        std::exit(1);
    }
    return static_cast<std::size_t>(usage.ru_maxrss) * 1024;  // ru_maxrss is in KiB
}

// Runs a program with stdout to /dev/null and returns its wall time.
double TimeCommand(const std::vector<std::string>& argv) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto begin = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return -1;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return Seconds(Clock::now() - begin);
}

double Mb(std::size_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

int Main(int argc, char** argv) {
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::current_path();
    fs::create_directories(work);
    fs::current_path(work);  // the command text names the file without a "/"

    std::printf("generating %d lines of Shift_JIS text...\n", kLines);
    std::size_t fileSize = 0;
    {
        const std::string bytes = GenerateFile();
        fileSize = bytes.size();
        std::ofstream(kFileName, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    std::printf("file: %s, %.1f MB, %d lines\n\n", (work / kFileName).c_str(), Mb(fileSize),
                kLines);

    const std::u16string fullRange = u"FILE#" + std::u16string(kFileName16) + u"/0-2147483647";
    const std::u16string defaultRange = u"FILE#" + std::u16string(kFileName16);

    // Peak memory first, while this process is still small: each child starts
    // from what the parent holds.
    const std::size_t idleRss = PeakRssOfChild([] {});
    const std::size_t fullRss = PeakRssOfChild([&] {
        DiskPlatform platform;
        const std::u16string request = BuildFileRequest(platform, fullRange);
        if (request.size() < fileSize / 4) throw std::runtime_error("short request");
    });
    const std::size_t fullSendRss = PeakRssOfChild([&] {
        DiskPlatform platform;
        const std::string bytes =
            platform.Encode(CodePage::ShiftJis, BuildFileRequest(platform, fullRange));
        if (bytes.size() < fileSize) throw std::runtime_error("short request");
    });
    const std::size_t defaultRss = PeakRssOfChild([&] {
        DiskPlatform platform;
        const std::u16string request = BuildFileRequest(platform, defaultRange);
        if (request.find(u"Reference4: 1000000") == std::u16string::npos) {
            throw std::runtime_error("wrong line count");
        }
    });

    // Times, side by side: each round runs every case once.
    DiskPlatform platform;
    std::string fileBytes;
    {
        std::ifstream in(kFileName, std::ios::binary);
        fileBytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<double> roundTrip, build, buildSend;
    std::size_t requestChars = 0;
    for (int round = 0; round < kRepeats; ++round) {
        auto begin = Clock::now();
        {
            const std::u16string text = platform.Decode(CodePage::ShiftJis, fileBytes);
            const std::string back = platform.Encode(CodePage::ShiftJis, text);
            if (back != fileBytes) throw std::runtime_error("the round trip changed the bytes");
        }
        roundTrip.push_back(Seconds(Clock::now() - begin));

        begin = Clock::now();
        {
            const std::u16string request = BuildFileRequest(platform, fullRange);
            requestChars = request.size();
        }
        build.push_back(Seconds(Clock::now() - begin));

        begin = Clock::now();
        {
            const std::string bytes =
                platform.Encode(CodePage::ShiftJis, BuildFileRequest(platform, fullRange));
            if (bytes.size() < fileBytes.size()) throw std::runtime_error("short request");
        }
        buildSend.push_back(Seconds(Clock::now() - begin));
    }
    std::vector<double> iconvTimes;
    for (int round = 0; round < kRepeats; ++round) {
        iconvTimes.push_back(TimeCommand({"iconv", "-f", "CP932", "-t", "UTF-16LE", kFileName}));
    }

    const double rt = Median(roundTrip);
    const double b = Median(build);
    const double bs = Median(buildSend);
    std::printf("time, median of %d (full range, request of %.1f M characters):\n", kRepeats,
                static_cast<double>(requestChars) / 1e6);
    std::printf("  codec round trip (decode all + encode back)   %7.3f s\n", rt);
    std::printf("  build request, full range                     %7.3f s   %.2fx round trip\n", b,
                b / rt);
    std::printf("  build request + encode to Shift_JIS           %7.3f s   %.2fx round trip\n", bs,
                bs / rt);
    const double ic = Median(iconvTimes);
    if (ic >= 0) {
        std::printf("  iconv -f CP932 -t UTF-16LE (for scale)        %7.3f s\n", ic);
    } else {
        std::printf("  iconv -f CP932 -t UTF-16LE (for scale)        not available\n");
    }
    std::printf("\npeak memory (resident, of a child process each):\n");
    std::printf("  idle child                                    %7.1f MB\n", Mb(idleRss));
    std::printf("  build request, full range                     %7.1f MB   %.2fx file size\n",
                Mb(fullRss), static_cast<double>(fullRss) / static_cast<double>(fileSize));
    std::printf("  build + encode, full range                    %7.1f MB   %.2fx file size\n",
                Mb(fullSendRss), static_cast<double>(fullSendRss) / static_cast<double>(fileSize));
    std::printf("  build request, default range                  %7.1f MB\n", Mb(defaultRss));

    const bool timeOk = b <= 1.2 * rt;
    const bool memoryOk = fullRss <= 4 * fileSize && defaultRss < 16u * 1024 * 1024;
    std::printf(
        "\ngoals: build <= 1.2x round trip: %s; full range <= 4x file: %s; "
        "default range < 16 MB: %s\n",
        timeOk ? "met" : "MISSED", fullRss <= 4 * fileSize ? "met" : "MISSED",
        defaultRss < 16u * 1024 * 1024 ? "met" : "MISSED");
    // One line for scripts that gather the figures (bench/run.sh table).
    std::printf(
        "FIGURES build_ratio=%.3f send_ratio=%.3f full_memory_ratio=%.3f "
        "default_memory_mb=%.1f file_bytes=%zu\n",
        b / rt, bs / rt, static_cast<double>(fullRss) / static_cast<double>(fileSize),
        Mb(defaultRss), fileSize);
    if (std::getenv("VEK_BENCH_KEEP_FILE") == nullptr) fs::remove(kFileName);
    return timeOk && memoryOk ? 0 : 2;
}

}  // namespace
}  // namespace vek

int main(int argc, char** argv) {
    try {
        return vek::Main(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vek_file_bench: %s\n", e.what());
        return 1;
    }
}
