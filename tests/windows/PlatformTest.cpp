// The Win32 layer in process, against the real system calls.

#include <thread>

#include "Harness.h"
#include "app/F_ZERO.h"
#include "delivery/FileDrop.h"
#include "platform/win32/FormWindow.h"
#include "platform/win32/Win32Platform.h"
#include "text/Text.h"

// clang-format off: the case tables are laid out by hand.
namespace vek::test {
namespace {

template <typename F>
std::wstring Report(F&& f) {  // of the RuntimeFailure f throws
    try { f(); } catch (const RuntimeFailure& failure) { return fs::path(failure.Report()).wstring(); }
    return L"no failure";
}
std::string ReadAll(Platform& platform, const fs::path& path) {
    const auto file = platform.OpenForRead(path.u16string());
    std::string bytes;
    for (char block[7]; const std::size_t got = file->Read(block);) bytes.append(block, got);  // several reads
    return bytes;
}

TEST(PlatformFiles, ExistByTheExactNameOfANormalFileAndAreRead) {
    Scratch dir;
    fs::create_directory(dir / L"sub");
    const wchar_t* japanese = GetACP() == 932 ? L"日本.txt" : L"n.txt";
    for (const wchar_t* name : {L"a.txt", L"r.txt", L"h.txt", L"s.txt", japanese})
        WriteBytes(dir / name, "line\r\n\x82\xa0 two");
    SetFileAttributesW((dir / L"r.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((dir / L"h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((dir / L"s.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    win32::Win32Platform platform;
    for (const wchar_t* name : {L"a.txt", L"r.txt", japanese})
        EXPECT_TRUE(platform.FileExists((dir / name).u16string())) << name;
    for (const wchar_t* name : {L"h.txt", L"s.txt", L"sub", L"*.txt", L"a.tx?", L"CON"})
        EXPECT_FALSE(platform.FileExists((dir / name).u16string())) << name;
    EXPECT_EQ(ReadAll(platform, dir / L"a.txt"), "line\r\n\x82\xa0 two");
    const ULONGLONG start = GetTickCount64();  // no waiting can make a read-only file writable: said at once
    EXPECT_EQ(Report([&] { platform.ReplaceFileContent((dir / L"r.txt").u16string(), "x"); }),
              L"File error: Could not replace '" + (dir / L"r.txt").wstring() + L"': the file is read-only");
    EXPECT_LT(GetTickCount64() - start, 500u);
    SetFileAttributesW((dir / L"r.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadAll(platform, dir / L"r.txt"), "line\r\n\x82\xa0 two");
}

TEST(PlatformFiles, ReplacesTheWholeContentAtAnyPathLength) {
    Scratch dir;
    win32::Win32Platform platform;
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    // vek.ini paths on either side of where the long form begins, and far beyond MAX_PATH; the
    // temporary file beside it is longer still.
    for (std::size_t length : {240, 244, 246, 247, 248, 252, 259, 270}) {
        const fs::path deep = dir.dir / std::wstring(length - dir.dir.wstring().size() - 9, L'd');
        const fs::path ini = deep / L"vek.ini";
        CreateDirectoryW((L"\\\\?\\" + deep.wstring()).c_str(), nullptr);
        for (const char* content : {"1234\r\n", "-1\r\n"}) {
            platform.ReplaceFileContent(ini.u16string(), content);
            EXPECT_EQ(ReadAll(platform, ini), content) << length;
        }
        // The current directory that deep is the platform's too, where the system allows one.
        if (SetCurrentDirectoryW(deep.c_str())) {
            EXPECT_EQ(fs::path(platform.CurrentDirectory()), deep);
        }
        SetCurrentDirectoryW(cwd);
        DeleteFileW((L"\\\\?\\" + ini.wstring()).c_str());
        RemoveDirectoryW((L"\\\\?\\" + deep.wstring()).c_str());
    }
}

// Another program holds vek.ini for a moment (a second vek.exe reading it while INIT replaces it, a
// virus scanner): opening and replacing wait for about a second in all, then report; the old stays.
TEST(PlatformFiles, ReadsAndTheReplaceWaitForAFileHeldForAMoment) {
    Scratch dir;
    const fs::path ini = dir / L"vek.ini";
    WriteBytes(ini, "old\r\n");
    win32::Win32Platform platform;
    constexpr DWORD kReader = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // Held with share for ms while it is replaced with bytes (read when none).
    const std::tuple<DWORD, DWORD, const char*, const wchar_t*> cases[] = {
        {kReader, 300, "new\r\n", L"no failure"}, {0, 300, nullptr, L"no failure"},
        {FILE_SHARE_READ, 1600, "x", L"File error: Could not replace '"}, {0, 1600, nullptr, L"File error: Could not open '"}};
    for (const auto& [share, ms, bytes, report] : cases) {
        const HANDLE held = CreateFileW(ini.c_str(), GENERIC_READ, share, 0, OPEN_EXISTING, 0, 0);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const std::jthread release([held, ms] {
            Sleep(ms);
            CloseHandle(held);
        });
        if (share == kReader) {
            EXPECT_EQ(ReadAll(platform, ini), "old\r\n");  // readers share with readers
        }
        std::string now;  // as read, or as replaced
        const ULONGLONG start = GetTickCount64();
        const std::wstring got = Report([&] {
            if (bytes != nullptr) platform.ReplaceFileContent(ini.u16string(), bytes);
            now = ReadAll(platform, ini);
        });
        const ULONGLONG took = GetTickCount64() - start;
        EXPECT_TRUE(got.starts_with(report)) << got;
        EXPECT_EQ(now, ms < 1000 ? "new\r\n" : "");
        EXPECT_TRUE(ms < 1000 ? took >= 250 : took < 3000) << took << " ms";
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
        HostSnapshot snapshot;
        snapshot.fill(1);
        ASSERT_EQ(platform.ReadHostMemory(fs::path(name).string(), snapshot), HostMemory::Read);
        EXPECT_EQ(std::string(snapshot.begin(), snapshot.end()),
                  (content + std::string(kHostSnapshotSize, '\0')).substr(0, kHostSnapshotSize));
    }
    // Memory whose security keeps everybody out, as a host with higher rights keeps out a program
    // without them; and a name that nobody published.
    const std::wstring name = Unique().filename().wstring();
    const Mapping denied(name, "", 4096, 0, L"D:(D;;GA;;;WD)");
    HostSnapshot snapshot;
    EXPECT_EQ(platform.ReadHostMemory(fs::path(name).string(), snapshot), HostMemory::Refused);
    EXPECT_EQ(platform.ReadHostMemory(fs::path(Unique().filename()).string(), snapshot), HostMemory::None);
}

TEST(PlatformMessages, AWindowThatIsGoneIsHandedNothing) {
    win32::Win32Platform platform;
    const HWND gone = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
    DestroyWindow(gone);
    EXPECT_FALSE(platform.WindowExists(Id(gone)));
    EXPECT_EQ(platform.SendCopyData(Id(gone), 9801, "x").handed, Handed::GoneBefore);
    EXPECT_EQ(platform.PostDropFiles(Id(gone), BuildDropBlock(platform, u"C:\\a")).handed, Handed::GoneBefore);
}

// Standard error to a file, a pipe or NUL is a program's that captures or discards it; a report
// there is in the code page Windows' own tools read output in, '?' for what that lacks; a failed
// write says so.
TEST(PlatformReports, StandardErrorIsCapturedByAFileAPipeOrNulAndWrittenInTheConsolesCodePage) {
    win32::Win32Platform platform;
    const HANDLE own = GetStdHandle(STD_ERROR_HANDLE);
    Scratch dir;
    const HANDLE file = CreateFileW((dir / L"err.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE reader = nullptr, writer = nullptr;
    CreatePipe(&reader, &writer, nullptr, 0);
    for (const HANDLE err : {file, nul, writer}) {
        SetStdHandle(STD_ERROR_HANDLE, err);
        EXPECT_EQ(platform.ErrorOutput(), ErrorStream::Captured);
        EXPECT_TRUE(platform.WriteError(u"é日本\u263A\r\n"));
    }
    CloseHandle(reader);  // nobody reads the pipe any more
    EXPECT_FALSE(platform.WriteError(u"x"));
    SetStdHandle(STD_ERROR_HANDLE, nullptr);
    EXPECT_EQ(platform.ErrorOutput(), ErrorStream::None);
    EXPECT_FALSE(platform.WriteError(u"x"));
    SetStdHandle(STD_ERROR_HANDLE, own);
    for (const HANDLE h : {file, nul, writer}) CloseHandle(h);
    const UINT console = GetConsoleOutputCP();
    EXPECT_EQ(ReadBytes(dir / L"err.txt"), Bytes(console ? console : GetOEMCP(), L"é日本\u263A\r\n"));
    EXPECT_TRUE(platform.CanShowWindows());  // this desktop
}

// ReportEvent refuses a string of more than 31,839 characters: a longer report is cut to that.
TEST(PlatformReports, TheEventLogKeepsAsMuchOfALongReportAsItTakes) {
    if (UnderWine()) GTEST_SKIP() << "Wine keeps no event log";
    win32::Win32Platform platform;
    platform.WriteEventLog(std::u16string(40000, u'x'));
    EXPECT_EQ(NewestVekEvent(), std::wstring(31839, L'x'));
}

// A post that the window's queue refuses, full with as many messages as it takes, is reported.
TEST(PlatformMessages, ARefusedDropIsReported) {
    win32::Win32Platform platform;
    Host host;  // of this thread, which takes none of them meanwhile
    int posted = 0;
    while (posted < 20000 && PostMessageW(host.hwnd, WM_NULL, 0, 0)) ++posted;
    const Delivery drop = platform.PostDropFiles(Id(host.hwnd), BuildDropBlock(platform, u"C:\\a.txt"));
    Pump();
    if (posted == 20000) GTEST_SKIP() << "this system queues any number of messages (Wine does)";
    EXPECT_EQ(drop.handed, Handed::Failed);
    EXPECT_TRUE(drop.error.ends_with(u"(error " + PlainNumber(ERROR_NOT_ENOUGH_QUOTA) + u")"));
    EXPECT_TRUE(host.drops.empty());
}

TEST(PlatformForm, ARunEndingInFormLoadShowsNothingAndATickFailureReachesRunsCaller) {
    win32::Win32Platform platform;
    F_ZERO form{platform};
    win32::FormWindow window{GetModuleHandleW(nullptr), form};
    EXPECT_EQ(window.Run(Outcome::EndRun), 0);
    EXPECT_FALSE(IsWindowVisible(window.Handle()));
    form.BlnText = u"x";
    form.BlnPos = 0;  // no position: the first tick fails
    EXPECT_NE(Report([&] { window.Run(Outcome::ShowBalloon); }).find(L"Invalid procedure call"), std::wstring::npos);
    MSG msg;  // and leaves no quit message to close the failure report's box at once
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
}  // namespace vek::test
