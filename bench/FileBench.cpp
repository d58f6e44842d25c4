// How fast and how small the FILE command's request building is on a large
// file. Generates a Shift_JIS file of a million lines (about 30 MB), and the
// same text in UTF-8 (no mark: FILE tells it by its bytes) and in UTF-16 LE,
// and measures for each, in one run:
//   - building the full range ('/0-2147483647') against the bare codec round
//     trip over the same bytes (decode it all to UTF-16, encode it to the
//     request's Shift_JIS; for UTF-16 the decoding is a copy), with the codec
//     the native build uses, side by side and repeated;
//   - the same building followed by the encoding a run sends;
//   - `iconv -f CP932 -t UTF-16LE` over the Shift_JIS file, for scale;
//   - the peak memory of a process that builds the full range, and the default
//     range, each measured in a child of its own.
// Then how often Japanese text in Shift_JIS would be taken for UTF-8: lines
// made from a word list, encoded to Shift_JIS, each line alone and in files
// of ten lines.
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

#include "FakePlatform.h"
#include "request/FileRequest.h"
#include "request/Request.h"
#include "text/Encodings.h"
#include "text/Failure.h"
#include "text/Text.h"

extern char** environ;

namespace vek {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 1'000'000;
constexpr int kRepeats = 5;
constexpr const char* kFileName = "vek-file-bench.txt";

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
        std::uint64_t Size() const override {
            struct stat info {};
            return fstat(fd_, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
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

void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(name, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Figures {
    double build = 0, send = 0, fullMemory = 0, defaultMb = 0;
    bool met = false;
};

// The peak memory of building the request for the file name, each in a child
// of its own; measured while this process is small, as each child starts
// from what the parent holds.
void MeasureMemory(const char* label, const std::string& name, Figures& figures) {
    const std::size_t fileSize = fs::file_size(name);
    const std::u16string name16(name.begin(), name.end());
    const std::u16string fullRange = u"FILE#" + name16 + u"/0-2147483647";
    const std::size_t fullRss = PeakRssOfChild([&] {
        DiskPlatform platform;
        const std::u16string request = BuildFileRequest(platform, fullRange);
        if (request.size() < fileSize / 4) throw std::runtime_error("short request");
    });
    const std::size_t fullSendRss = PeakRssOfChild([&] {
        DiskPlatform platform;
        std::u16string request = BuildFileRequest(platform, fullRange);
        if (EncodeRequest(platform, request).size() < fileSize / 3)
            throw std::runtime_error("short request");
    });
    const std::size_t defaultRss = PeakRssOfChild([&] {
        DiskPlatform platform;
        const std::u16string request = BuildFileRequest(platform, u"FILE#" + name16);
        if (request.find(u"Reference4: 1000000") == std::u16string::npos) {
            throw std::runtime_error("wrong line count");
        }
    });
    std::printf("peak memory, %s file of %.1f MB (resident, of a child process each):\n", label,
                Mb(fileSize));
    std::printf("  build request, full range                     %7.1f MB   %.2fx file size\n",
                Mb(fullRss), static_cast<double>(fullRss) / static_cast<double>(fileSize));
    std::printf("  build + encode, full range                    %7.1f MB   %.2fx file size\n",
                Mb(fullSendRss), static_cast<double>(fullSendRss) / static_cast<double>(fileSize));
    std::printf("  build request, default range                  %7.1f MB\n", Mb(defaultRss));
    figures.fullMemory = static_cast<double>(fullRss) / static_cast<double>(fileSize);
    figures.defaultMb = Mb(defaultRss);
    figures.met = fullRss <= 4 * fileSize && defaultRss < 16u * 1024 * 1024;
}

// The times for the file name against the codec's round trip over its bytes
// (decode, by decode, and encode to the request's Shift_JIS), side by side:
// each round runs every case once.
void MeasureTime(const char* label, const std::string& name,
                 const std::function<std::u16string(const Platform&, const std::string&)>& decode,
                 Figures& figures) {
    const std::u16string name16(name.begin(), name.end());
    const std::u16string fullRange = u"FILE#" + name16 + u"/0-2147483647";
    DiskPlatform platform;
    std::string bytes;
    {
        std::ifstream in(name, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<double> roundTrip, build, buildSend;
    std::size_t requestChars = 0;
    for (int round = 0; round < kRepeats; ++round) {
        auto begin = Clock::now();
        {
            const std::u16string text = decode(platform, bytes);
            const std::string back = platform.Encode(CodePage::ShiftJis, text);
            if (back.size() < bytes.size() / 3) throw std::runtime_error("short round trip");
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
            std::u16string request = BuildFileRequest(platform, fullRange);
            if (EncodeRequest(platform, request).size() < bytes.size() / 3 ||
                !request.ends_with(u"Shift_JIS"))
                throw std::runtime_error("short request, or not in Shift_JIS");
        }
        buildSend.push_back(Seconds(Clock::now() - begin));
    }
    const double rt = Median(roundTrip);
    const double b = Median(build);
    const double bs = Median(buildSend);
    std::printf("time, %s file, median of %d (full range, request of %.1f M characters):\n", label,
                kRepeats, static_cast<double>(requestChars) / 1e6);
    std::printf("  codec round trip (decode all + encode)        %7.3f s\n", rt);
    std::printf("  build request, full range                     %7.3f s   %.2fx round trip\n", b,
                b / rt);
    std::printf("  build request + encode as sent                %7.3f s   %.2fx round trip\n", bs,
                bs / rt);
    figures.build = b / rt;
    figures.send = bs / rt;
    figures.met = figures.met && b <= 1.2 * rt;
}

// Japanese sentences of every kind a text file holds: kanji of both levels,
// kana, half-width katakana, full-width and ASCII letters, digits and
// symbols, in lines from one word to several clauses.
std::vector<std::u16string> JapaneseLines(int count) {
    const std::vector<std::u16string> nouns = {
        u"私",       u"彼女",     u"先生",     u"猫",       u"犬",      u"電車",     u"会社",
        u"学校",     u"天気",     u"東京",     u"京都",     u"大阪",    u"富士山",   u"桜",
        u"紅葉",     u"雨",       u"雪",       u"海",       u"空",      u"音楽",     u"映画",
        u"小説",     u"新聞",     u"料理",     u"寿司",     u"饂飩",    u"蕎麦",     u"檸檬",
        u"蜜柑",     u"薔薇",     u"麒麟",     u"鰻",       u"蝋燭",    u"椅子",     u"机",
        u"窓",       u"鞄",       u"傘",       u"鍵",       u"靴",      u"眼鏡",     u"携帯電話",
        u"パソコン", u"コーヒー", u"テレビ",   u"ニュース", u"メール",  u"ファイル", u"データ",
        u"サーバー", u"ﾃﾞｰﾀ",     u"ｱﾌﾟﾘ",     u"ﾒﾆｭｰ",     u"Windows", u"USB",      u"ＰＤＦ",
        u"ＯＫ",     u"髙橋さん", u"山田さん", u"①",        u"②",       u"㈱",       u"～",
        u"約束",     u"予定",     u"会議",     u"資料",     u"報告書",  u"締切",     u"鬱陶しい雨",
        u"噂",       u"嘘",       u"躊躇",     u"顎",       u"瓦礫",    u"醤油",     u"胡椒",
        u"煎餅",     u"団子"};
    const std::vector<std::u16string> particles = {u"は", u"が", u"を", u"に",   u"で",   u"と",
                                                   u"の", u"へ", u"も", u"から", u"まで", u"より"};
    const std::vector<std::u16string> verbs = {
        u"見ました", u"食べる",     u"行きます", u"来た",       u"読んでいる",
        u"書いて",   u"送りました", u"届いた",   u"忘れないで", u"確認してください",
        u"撫でた",   u"呟いた",     u"揃えて",   u"繋がらない", u"叩いた",
        u"綺麗だ",   u"美しい",     u"寒かった", u"楽しみです", u"終わりました",
        u"ﾀﾞｳﾝﾛｰﾄﾞ"};
    const std::vector<std::u16string> ends = {u"。", u"！", u"？", u"…", u"", u"、", u"」", u"．"};
    std::vector<std::u16string> lines;
    std::uint32_t seed = 8128;
    const auto pick = [&](const std::vector<std::u16string>& words) -> const std::u16string& {
        seed = seed * 1103515245u + 12345u;
        return words[(seed >> 16) % words.size()];
    };
    for (int i = 0; i < count; ++i) {
        std::u16string line;
        seed = seed * 1103515245u + 12345u;
        const int clauses = static_cast<int>((seed >> 16) % 5);  // 0: a word alone
        if (clauses == 0) line = pick(nouns);
        for (int c = 0; c < clauses; ++c) {
            line += pick(nouns) + pick(particles);
            if ((seed >> 20) % 3 == 0) line += PlainNumber((seed >> 8) % 2000) + u"年";
            line += pick(nouns) + pick(particles) + pick(verbs) + pick(ends);
        }
        lines.push_back(line);
    }
    return lines;
}

// How many of the lines in Shift_JIS, alone and in files of ten, pass as UTF-8.
void MeasureFalsePositives(const Platform& platform, std::FILE* out) {
    constexpr int kCount = 5000, kPerFile = 10;
    const auto utf8 = [](std::string_view bytes) {
        EncodingDetector detector;
        detector.Feed(bytes);
        return detector.Encoding() == FileEncoding::Utf8;
    };
    int lines = 0, files = 0;
    std::string file;
    const std::vector<std::u16string> text = JapaneseLines(kCount);
    for (int i = 0; i < kCount; ++i) {
        const std::string bytes = platform.Encode(CodePage::ShiftJis, text[i]);
        if (utf8(bytes)) {
            ++lines;
            std::fprintf(out, "  taken for UTF-8: '%s'\n",
                         platform.Encode(CodePage::Utf8, text[i]).c_str());
        }
        file += bytes + "\r\n";
        if (i % kPerFile == kPerFile - 1) {
            files += utf8(file);
            file.clear();
        }
    }
    std::fprintf(out, "Shift_JIS taken for UTF-8: %d of %d lines, %d of %d files of %d lines\n",
                 lines, kCount, files, kCount / kPerFile, kPerFile);
    std::printf("FIGURES utf8_false_lines=%d lines=%d utf8_false_files=%d files=%d\n", lines,
                kCount, files, kCount / kPerFile);
}

int Main(int argc, char** argv) {
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::current_path();
    fs::create_directories(work);
    fs::current_path(work);  // the command text names the file without a "/"

    // The files are written by a child, so that this process stays small for
    // the children measured for their memory.
    std::printf("generating %d lines of Shift_JIS text...\n", kLines);
    const std::string utf8Name = "vek-file-bench-utf8.txt", utf16Name = "vek-file-bench-utf16.txt";
    PeakRssOfChild([&] {
        const DiskPlatform codec;
        const std::string shiftJis = GenerateFile();
        Write(kFileName, shiftJis);
        const std::u16string text = codec.Decode(CodePage::ShiftJis, shiftJis);
        Write(utf8Name, codec.Encode(CodePage::Utf8, text));
        std::string utf16 = "\xFF\xFE";
        for (const char16_t c : text)
            utf16 += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        Write(utf16Name, utf16);
    });
    const std::size_t fileSize = fs::file_size(kFileName);
    std::printf("files: %s, %d lines, and the same text in UTF-8 and UTF-16\n\n",
                (work / kFileName).c_str(), kLines);

    const std::size_t idleRss = PeakRssOfChild([] {});
    std::printf("idle child: %.1f MB peak memory\n", Mb(idleRss));
    Figures sj, u8, u16;
    MeasureMemory("Shift_JIS", kFileName, sj);
    MeasureMemory("UTF-8 (no mark)", utf8Name, u8);
    MeasureMemory("UTF-16 LE", utf16Name, u16);
    MeasureTime(
        "Shift_JIS", kFileName,
        [](const Platform& p, const std::string& b) { return p.Decode(CodePage::ShiftJis, b); },
        sj);
    MeasureTime(
        "UTF-8 (no mark)", utf8Name,
        [](const Platform& p, const std::string& b) { return p.Decode(CodePage::Utf8, b); }, u8);
    // UTF-16 needs no decoding: the round trip's is a copy.
    MeasureTime(
        "UTF-16 LE", utf16Name,
        [](const Platform&, const std::string& b) {
            return std::u16string(reinterpret_cast<const char16_t*>(b.data() + 2),
                                  (b.size() - 2) / 2);
        },
        u16);
    fs::remove(utf8Name);
    fs::remove(utf16Name);

    std::vector<double> iconvTimes;
    for (int round = 0; round < kRepeats; ++round) {
        iconvTimes.push_back(TimeCommand({"iconv", "-f", "CP932", "-t", "UTF-16LE", kFileName}));
    }
    const double ic = Median(iconvTimes);
    if (ic >= 0) {
        std::printf("iconv -f CP932 -t UTF-16LE (for scale)          %7.3f s\n\n", ic);
    }
    MeasureFalsePositives(DiskPlatform(), stdout);

    const bool met = sj.met && u8.met && u16.met;
    std::printf(
        "\ngoals (build <= 1.2x round trip, full range <= 4x file, default range < 16 MB): %s\n",
        met ? "met" : "MISSED");
    // One line for scripts that gather the figures (bench/run.sh table).
    std::printf(
        "FIGURES build_ratio=%.3f send_ratio=%.3f full_memory_ratio=%.3f "
        "default_memory_mb=%.1f file_bytes=%zu\n",
        sj.build, sj.send, sj.fullMemory, sj.defaultMb, fileSize);
    std::printf(
        "FIGURES utf8_build_ratio=%.3f utf8_send_ratio=%.3f utf8_full_memory_ratio=%.3f "
        "utf16_build_ratio=%.3f utf16_send_ratio=%.3f utf16_full_memory_ratio=%.3f\n",
        u8.build, u8.send, u8.fullMemory, u16.build, u16.send, u16.fullMemory);
    if (std::getenv("VEK_BENCH_KEEP_FILE") == nullptr) fs::remove(kFileName);
    return met ? 0 : 2;
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
