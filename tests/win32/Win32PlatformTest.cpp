// The Win32 platform layer against the real system calls (under Wine here).

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

#include "app/Failure.h"
#include "platform/win32/Scoped.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"
#include "text/Text.h"

namespace vek::win32 {
namespace {

// A fresh directory under the temporary directory, removed afterwards.
class TempDir {
public:
    TempDir() {
        wchar_t base[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, base);
        path_ = std::wstring(base) + L"vek-win32-test-" + std::to_wstring(GetCurrentProcessId()) +
                L"-" + std::to_wstring(counter_++);
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~TempDir() { RemoveTree(FileApiPath(U16(path_))); }
    std::u16string operator/(std::wstring_view name) const {
        return U16(path_ + L"\\" + std::wstring(name));
    }
    const std::wstring& Path() const { return path_; }

private:
    static void RemoveTree(const std::wstring& dir) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring child = dir + L"\\" + name;
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(child);
                } else {
                    DeleteFileW(child.c_str());
                }
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        SetFileAttributesW(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
        RemoveDirectoryW(dir.c_str());
    }
    static inline int counter_ = 0;
    std::wstring path_;
};

void Write(const std::u16string& path, std::string_view bytes) {
    UniqueHandle file(CreateFileW(FileApiPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << "cannot create " << ToUtf8(path);
    DWORD written = 0;
    WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string ReadAll(Win32Platform& platform, const std::u16string& path) {
    auto file = platform.OpenForRead(path);
    std::string bytes;
    char block[7];  // small on purpose: several reads per file
    for (std::size_t got; (got = file->Read(block)) != 0;) bytes.append(block, got);
    return bytes;
}

TEST(Win32FilesTest, ExistenceIsExactNameOfANormalFile) {
    Win32Platform platform;
    TempDir dir;
    Write(dir / L"a.txt", "x");
    Write(dir / L"hidden.txt", "x");
    SetFileAttributesW(FileApiPath(dir / L"hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    Write(dir / L"system.txt", "x");
    SetFileAttributesW(FileApiPath(dir / L"system.txt").c_str(), FILE_ATTRIBUTE_SYSTEM);
    Write(dir / L"readonly.txt", "x");
    SetFileAttributesW(FileApiPath(dir / L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryW(FileApiPath(dir / L"sub").c_str(), nullptr);

    EXPECT_TRUE(platform.FileExists(dir / L"a.txt"));
    EXPECT_TRUE(platform.FileExists(dir / L"readonly.txt"));
    EXPECT_FALSE(platform.FileExists(dir / L"hidden.txt"));
    EXPECT_FALSE(platform.FileExists(dir / L"system.txt"));
    EXPECT_FALSE(platform.FileExists(dir / L"sub"));
    EXPECT_FALSE(platform.FileExists(dir / L"missing.txt"));
    EXPECT_FALSE(platform.FileExists(dir / L"*.txt"));
    EXPECT_FALSE(platform.FileExists(dir / L"a.tx?"));
    EXPECT_FALSE(platform.FileExists(dir / L""));
    EXPECT_FALSE(platform.FileExists(u""));
}

TEST(Win32FilesTest, JapaneseFileNames) {
    // Wine stores Windows file names in the Unix locale's character set.
    if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese locale under Wine";
    Win32Platform platform;
    TempDir dir;
    Write(dir / L"\u65e5\u672c.txt", "x");
    EXPECT_TRUE(platform.FileExists(dir / L"\u65e5\u672c.txt"));
    EXPECT_FALSE(platform.FileExists(dir / L"\u65e5.txt"));
}

TEST(Win32FilesTest, ReadsInBlocks) {
    Win32Platform platform;
    TempDir dir;
    std::string content = "line one\r\nline two\r\n\x82\xa0 end";
    Write(dir / L"r.txt", content);
    EXPECT_EQ(ReadAll(platform, dir / L"r.txt"), content);
}

TEST(Win32FilesTest, OpenFailuresNameTheFile) {
    Win32Platform platform;
    TempDir dir;
    try {
        platform.OpenForRead(dir / L"missing.txt");
        FAIL() << "no failure";
    } catch (const RuntimeFailure& f) {
        EXPECT_EQ(f.Kind(), FailureKind::FileError);
        EXPECT_NE(f.Report().find(u"missing.txt"), std::u16string::npos) << f.what();
    }
}

TEST(Win32FilesTest, FileHeldExclusivelyByAnotherOpenerIsAFileError) {
    Win32Platform platform;
    TempDir dir;
    Write(dir / L"locked.txt", "x");
    UniqueHandle holder(CreateFileW(FileApiPath(dir / L"locked.txt").c_str(), GENERIC_READ, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder);
    try {
        platform.OpenForRead(dir / L"locked.txt");
        FAIL() << "no failure";
    } catch (const RuntimeFailure& f) {
        EXPECT_EQ(f.Kind(), FailureKind::FileError);
    }
}

TEST(Win32FilesTest, ReplaceWritesAllOrNothing) {
    Win32Platform platform;
    TempDir dir;
    const std::u16string ini = dir / L"vek.ini";
    platform.ReplaceFileContent(ini, "1234\r\n");
    EXPECT_EQ(ReadAll(platform, ini), "1234\r\n");
    platform.ReplaceFileContent(ini, "-1\r\n");
    EXPECT_EQ(ReadAll(platform, ini), "-1\r\n");

    // A target another program holds open cannot be replaced: the old
    // content stays and no temporary file is left behind.
    {
        UniqueHandle holder(CreateFileW(FileApiPath(ini).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder);
        EXPECT_THROW(platform.ReplaceFileContent(ini, "99\r\n"), RuntimeFailure);
    }
    EXPECT_EQ(ReadAll(platform, ini), "-1\r\n");
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((dir.Path() + L"\\*").c_str(), &data);
    int files = 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    EXPECT_EQ(files, 1);

    // A directory that does not exist.
    EXPECT_THROW(platform.ReplaceFileContent(dir / L"no\\such\\vek.ini", "1"), RuntimeFailure);
}

TEST(Win32FilesTest, PathsLongerThanMaxPathWork) {
    Win32Platform platform;
    TempDir dir;
    std::u16string deep = dir / L"";
    deep.pop_back();
    for (int i = 0; i < 12; ++i) {
        deep += u"\\" + std::u16string(30, static_cast<char16_t>(u'a' + i));
        ASSERT_TRUE(CreateDirectoryW(FileApiPath(deep).c_str(), nullptr));
    }
    ASSERT_GT(deep.size(), 300u);
    const std::u16string file = deep + u"\\vek.ini";
    platform.ReplaceFileContent(file, "5\r\n");
    EXPECT_TRUE(platform.FileExists(file));
    EXPECT_EQ(ReadAll(platform, file), "5\r\n");
}

TEST(Win32CodecTest, ShiftJisWhateverTheAnsiCodePage) {
    Win32Platform platform;
    const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea abc \x81\x60";
    const std::u16string text = u"\u65e5\u672c\u8a9e abc \uff5e";
    EXPECT_EQ(platform.Decode(CodePage::ShiftJis, sjis), text);
    EXPECT_EQ(platform.Encode(CodePage::ShiftJis, text), sjis);
    bool lossy = false;
    EXPECT_EQ(platform.Encode(CodePage::ShiftJis, u"a\u00e9\U0001F600", &lossy), "a???");
    EXPECT_TRUE(lossy);
    // The ANSI code page round-trips its own characters.
    EXPECT_EQ(platform.Decode(CodePage::Ansi, platform.Encode(CodePage::Ansi, u"abc 123")),
              u"abc 123");
}

TEST(Win32CodecTest, LargeTextsConvertWhole) {
    Win32Platform platform;
    std::u16string text;
    for (int i = 0; i < 200000; ++i) text += u"\u3042a";
    std::string bytes = platform.Encode(CodePage::ShiftJis, text);
    EXPECT_EQ(bytes.size(), 600000u);
    EXPECT_EQ(platform.Decode(CodePage::ShiftJis, bytes), text);
}

TEST(Win32SendTest, AnsweredOrStaleIsFineOnlyANonWindowIsIgnored) {
    Win32Platform platform;
    // A window whose handler answers 0: the message was still taken.
    HWND window =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const std::string bytes = "NOTIFY SSTP/1.0";
    EXPECT_NO_THROW(platform.SendCopyData(FromHwnd(window), 9801, bytes));
    DestroyWindow(window);
    // The same handle, now naming no window, is ignored.
    EXPECT_NO_THROW(platform.SendCopyData(FromHwnd(window), 9801, bytes));
}

TEST(Win32HandleTest, HandlesKeepTheirSignThroughThe32BitForm) {
    EXPECT_EQ(FromHwnd(ToHwnd(-1)), -1);
    EXPECT_EQ(ToHwnd(-1), reinterpret_cast<HWND>(static_cast<INT_PTR>(-1)));
    EXPECT_EQ(FromHwnd(ToHwnd(0x7FFFFFFF)), 0x7FFFFFFF);
}

}  // namespace
}  // namespace vek::win32
