#include "Rig.h"

#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace vek::e2e {
namespace {

std::string Env(const char* name, const char* fallback = "") {
    const char* value = std::getenv(name);
    return value != nullptr ? value : fallback;
}

std::string FromHex(std::string_view hex) {
    std::string bytes;
    auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(nibble(hex[i]) << 4 | nibble(hex[i + 1]));
    }
    return bytes;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string Quote(const std::string& winPath) {
    return "\"" + winPath + "\"";
}

}  // namespace

const std::vector<Build>& Builds() {
    static const std::vector<Build> builds = [] {
        std::vector<Build> result;
        std::istringstream in(Env("VEK_E2E_BUILDS"));
        for (std::string item; std::getline(in, item, ';');) {
            auto eq = item.find('=');
            if (eq == std::string::npos) continue;
            result.push_back({item.substr(0, eq), fs::absolute(item.substr(eq + 1))});
        }
        if (result.empty()) throw std::runtime_error("VEK_E2E_BUILDS names no build");
        return result;
    }();
    return builds;
}

const Build& ToolBuild() {
    return Builds().front();
}

std::string WinPath(const fs::path& path) {
    std::string s = fs::absolute(path).lexically_normal().string();
    for (char& c : s) {
        if (c == '/') c = '\\';
    }
    return "Z:" + s;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    fs::path root = Env("VEK_E2E_WORK", "/tmp/vek-e2e");
    path_ = root / ("t" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    if (Env("VEK_E2E_KEEP").empty()) fs::remove_all(path_, ignored);
}

Child::Child(const std::vector<std::string>& argv, bool stdinPipe, const fs::path& outputFile) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (stdinPipe) {
        if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_adddup2(&actions, pipeFds[0], 0);
        posix_spawn_file_actions_addclose(&actions, pipeFds[1]);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, outputFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int rc = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (stdinPipe) {
        close(pipeFds[0]);
        stdinFd_ = pipeFds[1];
        fcntl(stdinFd_, F_SETFD, FD_CLOEXEC);
    }
    if (rc != 0) throw std::runtime_error("cannot start " + argv[0]);
}

Child::~Child() {
    CloseStdin();
    if (!status_) {
        if (!Wait(10s)) Kill();
    }
}

void Child::CloseStdin() {
    if (stdinFd_ >= 0) close(stdinFd_);
    stdinFd_ = -1;
}

std::optional<int> Child::Wait(std::chrono::milliseconds timeout) {
    if (status_) return status_;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return status_;
        }
        if (r < 0 && errno != EINTR) {
            status_ = -1;
            return status_;
        }
        if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
        std::this_thread::sleep_for(10ms);
    }
}

void Child::Kill() {
    if (status_) return;
    kill(pid_, SIGKILL);
    Wait(5s);
}

std::string HostRecord::Value(std::string_view key) const {
    std::string needle = " " + std::string(key) + "=";
    auto at = line.find(needle);
    if (at == std::string::npos) return {};
    at += needle.size();
    return line.substr(at, line.find(' ', at) - at);
}

Host::Host(const fs::path& workDir, const Options& options) : log_(workDir / "host-log.txt") {
    fs::remove(log_);
    std::vector<std::string> argv{"wine",
                                  (ToolBuild().dir / "vekhost.exe").string(),
                                  "--log",
                                  WinPath(log_),
                                  "--until-stdin-closes",
                                  "--quit-after",
                                  "120000"};
    if (options.iniDir) {
        argv.push_back("--ini");
        argv.push_back(WinPath(*options.iniDir));
    }
    argv.insert(argv.end(), options.extraArgs.begin(), options.extraArgs.end());
    child_.emplace(argv, true, workDir / "host-output.txt");
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (std::chrono::steady_clock::now() < deadline) {
        for (const HostRecord& r : Records()) {
            if (r.kind == "READY") {
                hwnd_ = std::stoi(r.Value("hwnd"));
                acp_ = static_cast<unsigned>(std::stoul(r.Value("acp")));
                return;
            }
        }
        if (child_->Wait(50ms)) break;
    }
    throw std::runtime_error("the stand-in host did not start; see " +
                             (workDir / "host-output.txt").string());
}

Host::~Host() {
    if (child_) {
        child_->CloseStdin();
        if (!child_->Wait(15s)) child_->Kill();
    }
}

std::vector<HostRecord> Host::Records() const {
    std::vector<HostRecord> records;
    for (const std::string& line : Lines(ReadFile(log_))) {
        records.push_back({line.substr(0, line.find(' ')), line});
    }
    return records;
}

std::vector<CopyData> Host::CopyDatas() const {
    std::vector<CopyData> result;
    for (const HostRecord& r : Records()) {
        if (r.kind != "COPYDATA") continue;
        CopyData c;
        c.sender = static_cast<std::int32_t>(std::stol(r.Value("sender")));
        c.dwData = static_cast<std::uint32_t>(std::stoul(r.Value("dwData")));
        c.bytes = FromHex(r.Value("hex"));
        result.push_back(c);
    }
    return result;
}

RunResult RunVek(const Build& build, const fs::path& cwd, std::string_view args,
                 const RunOptions& options) {
    ScratchDir probeDir;
    const fs::path cmdline = probeDir / "cmdline.txt";
    const fs::path report = probeDir / "report.txt";
    const fs::path errors = probeDir / "stderr.txt";
    std::string token = options.programToken.value_or(Quote(WinPath(build.Vek())));
    WriteFile(cmdline, token + " " + std::string(args));

    std::vector<std::string> argv{"wine",
                                  (ToolBuild().dir / "vekprobe.exe").string(),
                                  "run",
                                  "--exe",
                                  WinPath(build.Vek()),
                                  "--cmdline-file",
                                  WinPath(cmdline),
                                  "--cwd",
                                  WinPath(cwd),
                                  "--out",
                                  WinPath(report),
                                  "--stderr",
                                  WinPath(errors),
                                  "--timeout",
                                  std::to_string(options.timeout.count())};
    if (options.dismissMessageBoxes) argv.push_back("--dismiss-message-boxes");
    argv.insert(argv.end(), options.probeArgs.begin(), options.probeArgs.end());

    RunResult result;
    {
        Child probe(argv, false, probeDir / "probe-output.txt");
        if (!probe.Wait(options.timeout + 30s)) {
            probe.Kill();
            result.timedOut = true;
        }
    }
    result.probeReport = ReadFile(report);
    for (const std::string& line : Lines(result.probeReport)) {
        if (line.rfind("EXIT ", 0) == 0) {
            result.exitCode = std::stoi(line.substr(5));
        } else if (line == "TIMEOUT") {
            result.timedOut = true;
        } else if (line.rfind("MSGBOX ", 0) == 0) {
            HostRecord r{"MSGBOX", line};
            result.boxes.push_back({FromHex(r.Value("caption")), FromHex(r.Value("text"))});
        }
    }
    result.stderrText = ReadFile(errors);
    return result;
}

std::string ShiftJis(std::string_view utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    std::string in(utf8);
    std::string out(in.size() * 2 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == static_cast<std::size_t>(-1)) throw std::runtime_error("not Shift_JIS text");
    out.resize(out.size() - outLeft);
    return out;
}

std::string JoinCrLf(const std::vector<std::string>& lines) {
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i != 0) joined += "\r\n";
        joined += lines[i];
    }
    return joined;
}

}  // namespace vek::e2e
