// The Win32 layer in process, against the real system calls.

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
    const HANDLE held =
        CreateFileW((dir / L"a.txt").c_str(), GENERIC_READ, 0, 0, OPEN_EXISTING, 0, 0);
    EXPECT_NE(Report([&] { ReadAll(platform, dir / L"a.txt"); }).find(L"a.txt'"),
              std::wstring::npos);
    EXPECT_NE(Report([&] { ReadAll(platform, dir / L"no.txt"); }).find(L"no.txt'"),
              std::wstring::npos);
    CloseHandle(held);
    SetFileAttributesW((dir / L"r.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(PlatformFiles, ReplacesTheWholeContentOrLeavesTheOldOne) {
    Scratch dir;
    const fs::path deep = dir / std::wstring(250, L'd').c_str();  // beyond MAX_PATH
    CreateDirectoryW((L"\\\\?\\" + deep.wstring()).c_str(), nullptr);
    win32::Win32Platform platform;
    for (const fs::path& path : {deep / L"vek.ini", dir / L"vek.ini"}) {
        for (const char* content : {"1234\r\n", "-1\r\n"}) {
            platform.ReplaceFileContent(path.u16string(), content);
            EXPECT_EQ(ReadAll(platform, path), content);
        }
    }
    // The current directory that deep is the platform's too, where the system allows one.
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    if (SetCurrentDirectoryW(deep.c_str())) {
        EXPECT_EQ(fs::path(platform.CurrentDirectory()), deep);
    }
    SetCurrentDirectoryW(cwd);
    DeleteFileW((L"\\\\?\\" + deep.wstring() + L"\\vek.ini").c_str());
    RemoveDirectoryW((L"\\\\?\\" + deep.wstring()).c_str());
    // Held open, it cannot be replaced: the old content stays, and no temporary file.
    const HANDLE held = CreateFileW((dir / L"vek.ini").c_str(), GENERIC_READ, FILE_SHARE_READ, 0,
                                    OPEN_EXISTING, 0, 0);
    EXPECT_NE(Report([&] {
                  platform.ReplaceFileContent((dir / L"vek.ini").u16string(), "9");
              }).find(L"vek.ini'"),
              std::wstring::npos);
    CloseHandle(held);
    EXPECT_EQ(ReadAll(platform, dir / L"vek.ini"), "-1\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.dir), {}), 1);
}

TEST(PlatformHostMemory, TheFirst1024BytesAndZerosWhereNoneCanBeRead) {
    win32::Win32Platform platform;
    std::string letters(3000, 'a');
    for (std::size_t i = 0; i < letters.size(); ++i) letters[i] = char('a' + i % 26);
    const std::tuple<std::string, ULONGLONG, DWORD> cases[] = {
        {letters, letters.size(), 0},
        {"", 1 << 20, SEC_RESERVE},                                 // only reserved
        {"", sizeof(void*) == 4 ? 0xC0000000u : 0u, SEC_RESERVE}};  // no room for a 3 GB view
    for (const auto& [content, size, flags] : cases) {
        const std::wstring name = Unique().filename().wstring();
        const Mapping mapping(name, content, size, flags);
        const auto snapshot = platform.ReadHostMemory(fs::path(name).string());
        EXPECT_TRUE(
            size == 0 ||
            std::string(snapshot->begin(), snapshot->end()) ==
                (content + std::string(kHostSnapshotSize, '\0')).substr(0, kHostSnapshotSize));
    }
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

std::function<bool()> g_step;  // called every 20 ms in FormWindow's loop until it returns true
void CALLBACK Step(HWND, UINT, UINT_PTR, DWORD) {
    if (g_step && g_step()) g_step = nullptr;
}

TEST(PlatformForm, TheBalloonFitsItsLabel) {
    const int margin = MulDiv(120, kScreenDpi, 1440);
    LOGFONTW font{-MulDiv(12, kScreenDpi, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, SHIFTJIS_CHARSET};
    wcscpy(font.lfFaceName, L"ＭＳ 明朝");
    const HDC dc = CreateCompatibleDC(nullptr);
    DeleteObject(SelectObject(dc, CreateFontIndirectW(&font)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const auto width = [&](std::wstring line) {
        RECT r{};
        DrawTextW(dc, line.data(), int(line.size()), &r,
                  DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX | DT_EXPANDTABS);
        return int(r.right - r.left);
    };
    // Lines break at CR LF only; a lone CR or LF shows nothing; tabs expand; '&' shows.
    const int widest = std::max({width(L"ab"), width(L"cd&e"), width(L"\txyz")});
    DeleteDC(dc);
    win32::Win32Platform platform;
    F_ZERO form{platform};
    win32::FormWindow window{GetModuleHandleW(nullptr), form};
    form.BlnText = u"ab\\ncd&e\r\n\tx\ry\nz";
    form.BlnPos = 1;
    RECT seen{};
    g_step = [&] {  // once it is all typed
        if (form.BlnPos <= int(form.BlnText.size())) return false;
        GetWindowRect(window.Handle(), &seen);
        return PostMessageW(window.Handle(), WM_CLOSE, 0, 0) != FALSE;
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, Step);
    EXPECT_EQ(window.Run(Outcome::ShowBalloon), 0);
    KillTimer(nullptr, timer);
    EXPECT_EQ(seen.right - seen.left, widest + margin);
    EXPECT_EQ(seen.bottom - seen.top, 3 * metrics.tmHeight + margin);
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
