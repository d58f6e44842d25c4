// The Win32 layer in process, against the real system calls.

#include <thread>

#include "Harness.h"
#include "app/F_ZERO.h"
#include "delivery/FileDrop.h"
#include "platform/win32/FormWindow.h"
#include "platform/win32/Win32Platform.h"

namespace vek::test {
namespace {

template <typename F>
std::wstring Report(F&& f) {  // of the RuntimeFailure f throws
    try {
        f();
    } catch (const RuntimeFailure& failure) {
        return fs::path(failure.Report()).wstring();
    }
    return L"no failure";
}
std::string ReadAll(Platform& platform, const fs::path& path) {
    const auto file = platform.OpenForRead(path.u16string());
    std::string bytes;
    char block[7];  // several reads a file
    for (std::size_t got; (got = file->Read(block)) != 0;) bytes.append(block, got);
    return bytes;
}

TEST(PlatformFiles, ExistByTheExactNameOfANormalFileAreReadOrNamedWhenNot) {
    Scratch dir;
    fs::create_directory(dir / L"sub");
    win32::Win32Platform platform;
    const std::tuple<const wchar_t*, DWORD, bool> cases[] = {
        {L"a.txt", FILE_ATTRIBUTE_NORMAL, true},
        {L"r.txt", FILE_ATTRIBUTE_READONLY, true},
        {L"h.txt", FILE_ATTRIBUTE_HIDDEN, false},
        {L"s.txt", FILE_ATTRIBUTE_SYSTEM, false},
        {L"sub", 0, false},
        {L"*.txt", 0, false},
        {L"a.tx?", 0, false},
        {L"CON", 0, false},
        {GetACP() == 932 ? L"日本.txt" : L"n.txt", FILE_ATTRIBUTE_NORMAL, true}};
    for (const auto& [name, attributes, exists] : cases) {
        if (attributes) WriteFile(dir / name, "line\r\n\x82\xa0 two");
        SetFileAttributesW((dir / name).c_str(), attributes);
        EXPECT_EQ(platform.FileExists((dir / name).u16string()), exists) << name;
    }
    EXPECT_EQ(ReadAll(platform, dir / L"a.txt"), "line\r\n\x82\xa0 two");
    EXPECT_NE(Report([&] { ReadAll(platform, dir / L"no.txt"); }).find(L"no.txt'"),
              std::wstring::npos);
    SetFileAttributesW((dir / L"r.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(PlatformFiles, ReplacesTheWholeContentAtAnyPathLength) {
    Scratch dir;
    win32::Win32Platform platform;
    // vek.ini paths on either side of where the long form begins, and far
    // beyond MAX_PATH; the temporary file beside it is longer still.
    std::vector<fs::path> paths = {dir / L"vek.ini"};
    for (std::size_t length : {240, 244, 246, 247, 248, 252, 259, 270}) {
        const std::size_t name = length - dir.dir.wstring().size() - 9;
        paths.push_back(dir / std::wstring(name, L'd').c_str() / L"vek.ini");
        CreateDirectoryW((L"\\\\?\\" + paths.back().parent_path().wstring()).c_str(), nullptr);
    }
    for (const fs::path& path : paths) {
        for (const char* content : {"1234\r\n", "-1\r\n"}) {
            platform.ReplaceFileContent(path.u16string(), content);
            EXPECT_EQ(ReadAll(platform, path), content) << path.wstring().size();
        }
    }
    // The current directory that deep is the platform's too, where the system allows one.
    const fs::path deep = paths.back().parent_path();
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    if (SetCurrentDirectoryW(deep.c_str())) {
        EXPECT_EQ(fs::path(platform.CurrentDirectory()), deep);
    }
    SetCurrentDirectoryW(cwd);
    for (const fs::path& path : paths) {
        DeleteFileW((L"\\\\?\\" + path.wstring()).c_str());
        RemoveDirectoryW((L"\\\\?\\" + path.parent_path().wstring()).c_str());
    }
}

// Another program holds vek.ini for a moment (a second vek.exe reading it
// while INIT replaces it, a virus scanner): opening and replacing wait for
// it, for about a second in all, and then report; the old content stays.
TEST(PlatformFiles, ReadsAndTheReplaceWaitForAFileHeldForAMoment) {
    Scratch dir;
    const fs::path ini = dir / L"vek.ini";
    WriteFile(ini, "old\r\n");
    win32::Win32Platform platform;
    const auto hold = [&](DWORD share, DWORD ms) {  // held with share for ms
        const HANDLE held = CreateFileW(ini.c_str(), GENERIC_READ, share, 0, OPEN_EXISTING, 0, 0);
        EXPECT_NE(held, INVALID_HANDLE_VALUE);
        return std::jthread([held, ms] {
            Sleep(ms);
            CloseHandle(held);
        });
    };
    const auto took = [](auto&& f) {
        const ULONGLONG start = GetTickCount64();
        f();
        return GetTickCount64() - start;
    };
    constexpr DWORD kReader = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    {
        const auto reader = hold(kReader, 300);
        EXPECT_EQ(ReadAll(platform, ini), "old\r\n");  // readers share with readers
        EXPECT_GE(took([&] { platform.ReplaceFileContent(ini.u16string(), "new\r\n"); }), 250u);
    }
    {
        const auto writer = hold(0, 300);
        EXPECT_GE(took([&] { EXPECT_EQ(ReadAll(platform, ini), "new\r\n"); }), 250u);
    }
    {
        const auto reader = hold(FILE_SHARE_READ, 1600);
        std::wstring report;
        EXPECT_LT(took([&] {
                      report = Report([&] { platform.ReplaceFileContent(ini.u16string(), "x"); });
                  }),
                  3000u);
        EXPECT_TRUE(report.starts_with(L"File error: Could not replace '")) << report;
    }
    {
        const auto writer = hold(0, 1600);
        std::wstring report;
        EXPECT_LT(took([&] { report = Report([&] { ReadAll(platform, ini); }); }), 3000u);
        EXPECT_TRUE(report.starts_with(L"File error: Could not open '")) << report;
    }
    EXPECT_EQ(ReadAll(platform, ini), "new\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.dir), {}), 1);  // no temporary file
}

TEST(PlatformHostMemory, TheFirst1024BytesZerosWhereNoneCanBeReadAndAHostWithHigherRights) {
    win32::Win32Platform platform;
    std::string letters(3000, 'a');
    for (std::size_t i = 0; i < letters.size(); ++i) letters[i] = char('a' + i % 26);
    std::vector<std::tuple<std::string, ULONGLONG, DWORD>> cases = {
        {letters, letters.size(), 0}, {"", 1 << 20, SEC_RESERVE}};  // the second only reserved
    if (sizeof(void*) == 4) cases.push_back({"", 0xC0000000u, SEC_RESERVE});  // no room for 3 GB
    for (const auto& [content, size, flags] : cases) {
        const std::wstring name = Unique().filename().wstring();
        const Mapping mapping(name, content, size, flags);
        const auto snapshot = platform.ReadHostMemory(fs::path(name).string());
        ASSERT_TRUE(snapshot.has_value()) << size;
        EXPECT_EQ(std::string(snapshot->begin(), snapshot->end()),
                  (content + std::string(kHostSnapshotSize, '\0')).substr(0, kHostSnapshotSize));
    }
    // Memory whose security keeps everybody out, as a host with higher rights
    // keeps out a program without them; and a name that nobody published.
    const std::wstring name = Unique().filename().wstring();
    const Mapping denied(name, "", 4096, 0, L"D:(D;;GA;;;WD)");
    EXPECT_EQ(Report([&] { platform.ReadHostMemory(fs::path(name).string()); }),
              L"System error: the host that published '" + name +
                  L"' runs with higher rights than vek.exe (as administrator?): its shared "
                  L"memory cannot be read");
    EXPECT_FALSE(platform.ReadHostMemory(fs::path(Unique().filename()).string()).has_value());
}

TEST(PlatformMessages, DropsReadBackWithDragQueryFileAndCopyDataIsTakenOrIgnored) {
    std::vector<std::u16string> paths = {u"C:\\a.txt", u"C:\\" + std::u16string(300, u'x')};
    if (GetACP() == 932) paths.push_back(u"C:\\作業\\日本語.txt");
    win32::Win32Platform platform;
    Host host;
    for (const auto& path : paths) {
        platform.PostDropFiles(Id(host.hwnd), BuildDropBlock(platform, path));
    }
    Pump();
    ASSERT_EQ(host.drops.size(), paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(fs::path(host.drops[i]), paths[i]);
    // A window that answers 0 still took it; a handle that names no window is ignored.
    const HWND zero = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
    EXPECT_NO_THROW(platform.SendCopyData(Id(zero), 9801, "x"));
    DestroyWindow(zero);
    EXPECT_NO_THROW(platform.SendCopyData(Id(zero), 9801, "x"));
    EXPECT_NO_THROW(platform.PostDropFiles(Id(zero), BuildDropBlock(platform, paths[0])));
}

// A post that the window's queue refuses, full with as many messages as the
// system allows, is reported, not ignored.
TEST(PlatformMessages, ARefusedDropIsReported) {
    win32::Win32Platform platform;
    Host host;  // of this thread, which takes none of them meanwhile
    int posted = 0;
    while (posted < 20000 && PostMessageW(host.hwnd, WM_NULL, 0, 0)) ++posted;
    std::wstring report;
    if (posted < 20000) {
        report = Report(
            [&] { platform.PostDropFiles(Id(host.hwnd), BuildDropBlock(platform, u"C:\\a.txt")); });
    }
    Pump();
    if (posted == 20000) GTEST_SKIP() << "this system queues any number of messages (Wine does)";
    EXPECT_TRUE(report.starts_with(L"System error: the file drop was not taken by window " +
                                   std::to_wstring(Id(host.hwnd)) + L": "))
        << report;
    EXPECT_TRUE(host.drops.empty());
}

TEST(PlatformForm, ARunEndingInFormLoadShowsNothingAndATickFailureReachesRunsCaller) {
    win32::Win32Platform platform;
    F_ZERO form{platform};
    {
        win32::FormWindow window{GetModuleHandleW(nullptr), form};
        EXPECT_EQ(window.Run(Outcome::EndRun), 0);
        EXPECT_FALSE(IsWindowVisible(window.Handle()));
    }
    win32::FormWindow window{GetModuleHandleW(nullptr), form};
    form.BlnText = u"x";
    form.BlnPos = 0;  // no position: the first tick fails
    EXPECT_NE(Report([&] { window.Run(Outcome::ShowBalloon); }).find(L"Invalid procedure call"),
              std::wstring::npos);
    MSG msg;  // and leaves no quit message to close the failure report's box at once
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
}  // namespace vek::test
