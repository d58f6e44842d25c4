#pragma once
// The end-to-end rig: runs the real Windows programs under Wine. The stand-in
// host records what it receives; the probe starts vek.exe with an exact
// command line, answers its message boxes and reports how it ended. Every
// wait has a timeout, and a run that overstays it is killed.
//
// Environment (set by scripts/test.sh):
//   VEK_E2E_BUILDS  name=dir pairs of the Windows builds to test, separated by
//                   ';' (for example "x64=build/windows-x64;x86=build/windows-x86");
//                   the first one's host and probe serve all of them
//   VEK_E2E_WORK    a scratch directory

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vek::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct Build {
    std::string name;  // "x64", "x86"
    fs::path dir;      // holds vek.exe, vekhost.exe, vekprobe.exe
    fs::path Vek() const { return dir / "vek.exe"; }
};

// The builds under test, and the one whose tools drive the tests.
const std::vector<Build>& Builds();
const Build& ToolBuild();

// "Z:\..." for a path of this machine.
std::string WinPath(const fs::path& path);

// Reads and writes whole files as bytes.
std::string ReadFile(const fs::path& path);
void WriteFile(const fs::path& path, std::string_view bytes);

// A fresh directory under the scratch directory, removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& Path() const { return path_; }
    fs::path operator/(std::string_view name) const { return path_ / std::string(name); }

private:
    fs::path path_;
};

// A child process of this test program, killed if still running when the
// object goes away.
class Child {
public:
    // Starts argv[0] with the given arguments; stdinPipe keeps a pipe to its
    // standard input open until CloseStdin.
    Child(const std::vector<std::string>& argv, bool stdinPipe, const fs::path& outputFile);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void CloseStdin();
    // The exit status, or nullopt when it did not end within timeout.
    std::optional<int> Wait(std::chrono::milliseconds timeout);
    void Kill();

private:
    int pid_ = -1;
    int stdinFd_ = -1;
    std::optional<int> status_;
};

// One WM_COPYDATA the host received.
struct CopyData {
    std::int32_t sender = 0;
    std::uint32_t dwData = 0;
    std::string bytes;
};

// One line of the host's log, split into its words (kind first).
struct HostRecord {
    std::string kind;
    std::string line;
    // The value of key=value in the line; empty when absent.
    std::string Value(std::string_view key) const;
};

// The stand-in host, running for the life of the object.
class Host {
public:
    struct Options {
        std::optional<fs::path> iniDir;      // write its handle into this dir's vek.ini
        std::vector<std::string> extraArgs;  // further vekhost options
    };
    Host(const fs::path& workDir, const Options& options);
    explicit Host(const fs::path& workDir) : Host(workDir, Options{}) {}
    ~Host();

    std::int32_t Hwnd() const { return hwnd_; }
    unsigned CodePage() const { return acp_; }
    std::vector<HostRecord> Records() const;
    std::vector<CopyData> CopyDatas() const;

private:
    fs::path log_;
    std::optional<Child> child_;
    std::int32_t hwnd_ = 0;
    unsigned acp_ = 0;
};

struct MessageBoxSeen {
    std::string caption;  // UTF-8
    std::string text;     // UTF-8
};

struct RunResult {
    bool timedOut = false;
    int exitCode = -1;
    std::vector<MessageBoxSeen> boxes;
    std::string stderrText;
    std::string probeReport;
};

struct RunOptions {
    std::chrono::milliseconds timeout = 20s;
    bool dismissMessageBoxes = true;
    // The command line's first token; by default the quoted Windows path of vek.exe.
    std::optional<std::string> programToken;
    // More options for the probe's run command (watching and closing windows).
    std::vector<std::string> probeArgs;
};

// Runs vek.exe of build in cwd with the argument text args (UTF-8; the
// command line is the program token, a space and args, exactly).
RunResult RunVek(const Build& build, const fs::path& cwd, std::string_view args,
                 const RunOptions& options = {});

// The request text's bytes as the host must receive them, from UTF-8 lines
// joined by CR LF and converted to Shift_JIS with iconv.
std::string ShiftJis(std::string_view utf8);
std::string JoinCrLf(const std::vector<std::string>& lines);

// A handle as the own-window line writes it: " 1234", "-5".
inline std::string Padded(std::int32_t value) {
    return (value < 0 ? "" : " ") + std::to_string(value);
}

}  // namespace vek::e2e
