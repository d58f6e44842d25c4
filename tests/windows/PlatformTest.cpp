// The Win32 layer in process, against the real system calls.

#include <thread>

#include "Harness.h"
#include "app/F_ZERO.h"
#include "delivery/FileDrop.h"
#include "platform/win32/FormWindow.h"
#include "platform/win32/Win32Platform.h"

namespace vek::test {
namespace {

win32::Win32Platform platform;  // it keeps nothing between calls but its own window, none here

std::wstring Report(const std::function<void()>& f) try {  // of the RuntimeFailure f throws
    f();
    return L"no failure";
} catch (const RuntimeFailure& failure) {
    return fs::path(failure.Report(platform)).wstring();
}

std::string ReadAll(const fs::path& path) {  // in several reads
    const auto file = platform.OpenForRead(path.u16string());
    std::string bytes;
    for (char block[7]; const std::size_t got = file->Read(block);) bytes.append(block, got);
    return bytes;
}

// A hidden or system file, a directory, a wildcard pattern and a device are no file to send or
// drop. No waiting can make a read-only file writable: replacing one is refused at once.
TEST(PlatformFiles, OnlyANormalFileByItsExactNameExistsAndAReadOnlyOneIsNotReplaced) {
    Scratch dir;
    fs::create_directory(dir / L"sub");
    for (const wchar_t* name : {L"a", L"readonly", L"hidden", L"system"})
        WriteBytes(dir / name, "x");
    const fs::path readOnly = dir / L"readonly";
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    SetFileAttributesW((dir / L"hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    SetFileAttributesW((dir / L"system").c_str(), FILE_ATTRIBUTE_SYSTEM);
    for (const wchar_t* name : {L"a", L"readonly"})
        EXPECT_TRUE(platform.FileExists((dir / name).u16string())) << name;
    for (const wchar_t* name : {L"hidden", L"system", L"sub", L"*", L"?", L"CON"})
        EXPECT_FALSE(platform.FileExists((dir / name).u16string())) << name;
    const ULONGLONG start = GetTickCount64();
    const std::wstring report =
        Report([&] { platform.ReplaceFileContent(readOnly.u16string(), ""); });
    EXPECT_NE(report.find(L"the file is read-only"), std::wstring::npos) << report;
    EXPECT_LT(GetTickCount64() - start, 500u);
    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// vek.ini either side of where the long form begins and far beyond; its temporary file is longer.
TEST(PlatformFiles, ReplacesTheWholeContentAtAnyPathLength) {
    Scratch dir;
    const fs::path cwd = fs::current_path();
    for (std::size_t length : {240, 244, 246, 247, 248, 252, 259, 270}) {
        const fs::path deep = dir.dir / std::wstring(length - dir.dir.wstring().size() - 9, L'd');
        const fs::path ini = deep / L"vek.ini";
        CreateDirectoryW((L"\\\\?\\" + deep.wstring()).c_str(), nullptr);
        for (const char* content : {"1234\r\n", "-1\r\n"}) {
            platform.ReplaceFileContent(ini.u16string(), content);
            EXPECT_EQ(ReadAll(ini), content) << length;
        }
        // The current directory that deep is the platform's too, where the system allows one.
        if (SetCurrentDirectoryW(deep.c_str())) {
            EXPECT_EQ(fs::path(platform.CurrentDirectory()), deep);
        }
        SetCurrentDirectoryW(cwd.c_str());
        DeleteFileW((L"\\\\?\\" + ini.wstring()).c_str());
        RemoveDirectoryW((L"\\\\?\\" + deep.wstring()).c_str());
    }
}

// Another program holds vek.ini for a moment (a second vek.exe reading it while INIT replaces it,
// a virus scanner): reading and replacing wait for it about a second in all, then report.
TEST(PlatformFiles, AFileHeldForAMomentIsWaitedForAboutASecondThenReported) {
    Scratch dir;
    const fs::path ini = dir / L"vek.ini";
    WriteBytes(ini, "old");
    constexpr DWORD kReader = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    struct Held {
        DWORD share, forMs;      // what the holder lets others do, and for how long
        const char* replace;     // the bytes it is replaced with; read only when none
        const wchar_t* failure;  // what the report says; none when the wait succeeds
    };
    const Held cases[] = {
        {.share = kReader, .forMs = 300, .replace = "new"},
        {.share = 0, .forMs = 300},
        {.share = FILE_SHARE_READ, .forMs = 1600, .replace = "x", .failure = L"Could not replace"},
        {.share = 0, .forMs = 1600, .failure = L"Could not open"},
    };
    for (const Held& c : cases) {
        const HANDLE held = CreateFileW(ini.c_str(), GENERIC_READ, c.share, 0, OPEN_EXISTING, 0, 0);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const std::jthread release([held, ms = c.forMs] {
            Sleep(ms);
            CloseHandle(held);
        });
        if (c.share == kReader) {
            EXPECT_EQ(ReadAll(ini), "old");  // readers share with readers
        }
        std::string now;
        const ULONGLONG start = GetTickCount64();
        const std::wstring report = Report([&] {
            if (c.replace != nullptr) platform.ReplaceFileContent(ini.u16string(), c.replace);
            now = ReadAll(ini);
        });
        const ULONGLONG took = GetTickCount64() - start;
        EXPECT_NE(report.find(c.failure ? c.failure : L"no failure"), std::wstring::npos) << report;
        EXPECT_EQ(now, c.failure ? "" : "new");
        EXPECT_TRUE(c.failure ? took < 3000 : took >= 250) << took << " ms";
    }
    EXPECT_EQ(ReadAll(ini), "new");  // a failed replace leaves the file as it was
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.dir), {}), 1);  // no temporary file
}

// The first 1024 bytes, zero beyond the end and where none is committed. Memory that keeps
// everybody out, as a host with higher rights keeps out vek.exe, is refused.
TEST(PlatformHostMemory, TheSnapshotHoldsTheFirst1024BytesAndUnreadableMemoryIsRefused) {
    struct Memory {  // named shared memory, as a host publishes it
        std::string bytes;
        ULONGLONG size = bytes.size();
        DWORD flags = 0;
        const wchar_t* security = L"D:(A;;GA;;;WD)";  // SDDL: everybody may read it
        HostMemory read = HostMemory::Read;
    };
    std::vector<Memory> cases = {
        {.bytes = std::string(kHostSnapshotSize, 'a') + "beyond"},
        {.size = 1 << 20, .flags = SEC_RESERVE},
        {.size = 4096, .security = L"D:(D;;GA;;;WD)", .read = HostMemory::Refused},
    };
    if (sizeof(void*) == 4) cases.push_back({.size = 0xC0000000u, .flags = SEC_RESERVE});  // 3 GB
    for (const Memory& c : cases) {
        SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
        ConvertStringSecurityDescriptorToSecurityDescriptorW(
            c.security, SDDL_REVISION_1, &attributes.lpSecurityDescriptor, nullptr);
        const fs::path name = Unique().filename();
        const HANDLE mapping =
            CreateFileMappingW(INVALID_HANDLE_VALUE, &attributes, PAGE_READWRITE | c.flags,
                               DWORD(c.size >> 32), DWORD(c.size), name.c_str());
        LocalFree(attributes.lpSecurityDescriptor);
        if (!c.bytes.empty())
            UnmapViewOfFile(memcpy(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0), c.bytes.data(),
                                   c.bytes.size()));
        HostSnapshot snapshot;
        snapshot.fill(1);
        EXPECT_EQ(platform.ReadHostMemory(name.string(), snapshot), c.read);
        CloseHandle(mapping);
        if (c.read != HostMemory::Read) continue;
        const std::string zeros(kHostSnapshotSize, '\0');
        EXPECT_EQ(std::string(snapshot.begin(), snapshot.end()),
                  (c.bytes + zeros).substr(0, kHostSnapshotSize));
    }
    HostSnapshot snapshot;
    EXPECT_EQ(platform.ReadHostMemory(Unique().filename().string(), snapshot), HostMemory::None);
}

TEST(PlatformMessages, AWindowThatIsGoneIsHandedNothing) {
    const HWND gone = Host().hwnd;  // destroyed with its host
    EXPECT_FALSE(platform.WindowExists(Id(gone)));
    EXPECT_EQ(platform.SendCopyData(Id(gone), 9801, "x").handed, Handed::GoneBefore);
    const auto block = BuildDropBlock(platform, u"C:\\a");
    EXPECT_EQ(platform.PostDropFiles(Id(gone), block).handed, Handed::GoneBefore);
}

// A path the ANSI code page holds exactly is listed in it, any other in UTF-16: either reads back
// through DragQueryFile as the very path (under Wine only here, in the process that posted it).
TEST(PlatformMessages, ADroppedPathReadsBackThroughDragQueryFileInEveryCodePage) {
    Host host;
    const std::vector<std::wstring> paths = {L"C:\\a.txt", L"C:\\日本語.txt", L"C:\\Café.txt",
                                             L"C:\\〜 😀.txt"};
    for (const std::wstring& path : paths) {
        const auto block = BuildDropBlock(platform, fs::path(path).u16string());
        EXPECT_EQ(platform.PostDropFiles(Id(host.hwnd), block).handed, Handed::Taken);
        Pump();
    }
    EXPECT_EQ(host.drops, paths);
}

// A post that the window's queue refuses, full with as many messages as it takes, is reported.
TEST(PlatformMessages, ADropTheQueueRefusesIsReportedAsNotHandedOver) {
    Host host;  // of this thread, which takes none of them meanwhile
    int posted = 0;
    while (posted < 20000 && PostMessageW(host.hwnd, WM_NULL, 0, 0)) ++posted;
    const auto block = BuildDropBlock(platform, u"C:\\a.txt");
    const Delivery drop = platform.PostDropFiles(Id(host.hwnd), block);
    Pump();
    if (posted == 20000) GTEST_SKIP() << "this system queues any number of messages (Wine does)";
    EXPECT_EQ(drop.handed, Handed::Failed);
    EXPECT_EQ(drop.error, DWORD(ERROR_NOT_ENOUGH_QUOTA));
    EXPECT_TRUE(host.drops.empty());
}

// Standard error to a file, a pipe or NUL is a program's that captures or discards it: a report
// there is in the code page Windows' own tools read it in, '?' for what that lacks.
TEST(PlatformReports, AFileAPipeOrNulCaptureStandardErrorInTheConsolesCodePage) {
    const HANDLE own = GetStdHandle(STD_ERROR_HANDLE);
    Scratch dir;
    const HANDLE file = CreateFileW((dir / L"err.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                    CREATE_ALWAYS, 0, nullptr);
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
    EXPECT_EQ(ReadBytes(dir / L"err.txt"), Bytes(ConsoleCodePage(), L"é日本\u263A\r\n"));
}

// A box would wait for ever for a click on a window station nobody sees (a service's, a task's
// that runs whether the user is logged on or not) or a desktop not taking the input now.
TEST(PlatformReports, OnlyTheUserAtTheScreenSeesAWindowNow) {
    EXPECT_EQ(platform.WhoSeesWindows(), Onlooker::User);  // this desktop
    const HDESK other = CreateDesktopW(L"VEK test", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(other, nullptr);
    Onlooker elsewhere = Onlooker::User;
    std::jthread([&] {  // a thread with no window yet may move to another desktop
        if (SetThreadDesktop(other)) elsewhere = platform.WhoSeesWindows();
    });
    CloseDesktop(other);
    const HWINSTA own = GetProcessWindowStation();
    const HWINSTA unseen = CreateWindowStationW(nullptr, 0, WINSTA_ALL_ACCESS, nullptr);
    ASSERT_NE(unseen, nullptr);
    SetProcessWindowStation(unseen);
    const Onlooker onUnseen = platform.WhoSeesWindows();
    SetProcessWindowStation(own);
    CloseWindowStation(unseen);
    EXPECT_EQ(elsewhere, Onlooker::NobodyNow);
    EXPECT_EQ(onUnseen, Onlooker::Nobody);
}

// ReportEvent refuses a string of more than 31,839 characters: a longer report is cut to that.
TEST(PlatformReports, TheEventLogKeepsAsMuchOfALongReportAsItTakes) {
    if (kUnderWine) GTEST_SKIP() << "Wine keeps no event log";
    platform.WriteEventLog(std::u16string(40000, u'x'));
    const HANDLE log = OpenEventLogW(nullptr, L"Application");
    std::vector<BYTE> events(1 << 17);  // the newest first
    DWORD got = 0, more = 0;
    ASSERT_TRUE(ReadEventLogW(log, EVENTLOG_BACKWARDS_READ | EVENTLOG_SEQUENTIAL_READ, 0,
                              events.data(), DWORD(events.size()), &got, &more));
    CloseEventLog(log);
    const auto& newest = *reinterpret_cast<const EVENTLOGRECORD*>(events.data());
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(&newest + 1)), L"VEK");  // its source
    const auto* text = reinterpret_cast<const wchar_t*>(events.data() + newest.StringOffset);
    EXPECT_EQ(std::wstring(text), std::wstring(31839, L'x'));
}

TEST(PlatformForm, ARunEndingInFormLoadShowsNothingAndATickFailureReachesRunsCaller) {
    F_ZERO form{platform};
    win32::FormWindow window{GetModuleHandleW(nullptr), form};
    EXPECT_EQ(window.Run(Outcome::EndRun), 0);
    EXPECT_FALSE(IsWindowVisible(window.Handle()));
    form.BlnText = u"x";
    form.BlnPos = 0;  // no position: the first tick fails
    const std::wstring report = Report([&] { window.Run(Outcome::ShowBalloon); });
    EXPECT_NE(report.find(L"Invalid procedure call"), std::wstring::npos) << report;
    MSG msg;  // and leaves no quit message to close the failure report's box at once
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
}  // namespace vek::test
