// The host's shared memory and the file-drop message against the real system
// calls: drops are read back in this process with the shell's own parser, as
// a receiver reads them.

#include <windows.h>
#include <gtest/gtest.h>

#include <shellapi.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "delivery/FileDrop.h"
#include "platform/win32/Module1.h"
#include "platform/win32/Scoped.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"
#include "text/Text.h"

namespace vek::win32 {
namespace {

std::string UniqueName(const char* what) {
    static int counter = 0;
    return "vek-test-" + std::to_string(GetCurrentProcessId()) + "-" + what + "-" +
           std::to_string(counter++);
}

// A named mapping of the paging file holding content; more bytes reserved
// than committed when reserveOnly is set.
class Mapping {
public:
    Mapping(const std::string& name, std::string_view content, DWORD size, bool reserveOnly = false)
        : handle_(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr,
                                     PAGE_READWRITE | (reserveOnly ? SEC_RESERVE : 0), 0, size,
                                     name.c_str())) {
        if (!handle_ || content.empty()) return;
        MappedView view(MapViewOfFile(handle_.Get(), FILE_MAP_WRITE, 0, 0, 0));
        if (view) std::memcpy(const_cast<void*>(view.Get()), content.data(), content.size());
    }
    explicit operator bool() const { return static_cast<bool>(handle_); }

private:
    UniqueHandle handle_;
};

std::string SnapshotText(const HostSnapshot& snapshot) {
    return std::string(reinterpret_cast<const char*>(snapshot.data()), snapshot.size());
}

TEST(HostMemoryTest, MissingMappingGivesNothing) {
    Win32Platform platform;
    EXPECT_FALSE(platform.ReadHostMemory(UniqueName("missing")).has_value());
}

TEST(HostMemoryTest, ShortObjectIsFollowedByZeros) {
    Win32Platform platform;
    const std::string name = UniqueName("short");
    const std::string content = std::string("\x11\0\0\0x.hwnd\x01", 11) + "1234\r\n";
    Mapping mapping(name, content, static_cast<DWORD>(content.size()));
    ASSERT_TRUE(mapping);
    auto snapshot = platform.ReadHostMemory(name);
    ASSERT_TRUE(snapshot.has_value());
    std::string expected = content;
    expected.resize(kHostSnapshotSize, '\0');
    EXPECT_EQ(SnapshotText(*snapshot), expected);
}

TEST(HostMemoryTest, LongObjectGivesItsFirstBytes) {
    Win32Platform platform;
    const std::string name = UniqueName("long");
    std::string content;
    for (int i = 0; i < 3000; ++i) content += static_cast<char>('a' + i % 26);
    Mapping mapping(name, content, static_cast<DWORD>(content.size()));
    ASSERT_TRUE(mapping);
    auto snapshot = platform.ReadHostMemory(name);
    ASSERT_TRUE(snapshot.has_value());
    EXPECT_EQ(SnapshotText(*snapshot), content.substr(0, kHostSnapshotSize));
}

TEST(HostMemoryTest, UncommittedObjectReadsAsZeros) {
    // On Windows, copying 1024 bytes from such a view faults.
    Win32Platform platform;
    const std::string name = UniqueName("reserved");
    Mapping mapping(name, {}, 1 << 20, true);
    ASSERT_TRUE(mapping);
    auto snapshot = platform.ReadHostMemory(name);
    ASSERT_TRUE(snapshot.has_value());
    EXPECT_EQ(*snapshot, HostSnapshot{});
}

TEST(HostMemoryTest, ObjectWhoseViewCannotBeMappedReadsAsZeros) {
    // 3 GB do not fit into a 32-bit process's address space.
    Win32Platform platform;
    const std::string name = UniqueName("huge");
    Mapping mapping(name, {}, 0xC0000000u, true);
    ASSERT_TRUE(mapping);
    if (sizeof(void*) == 8) GTEST_SKIP() << "a 64-bit process maps 3 GB";
    auto snapshot = platform.ReadHostMemory(name);
    ASSERT_TRUE(snapshot.has_value());
    EXPECT_EQ(*snapshot, HostSnapshot{});
}

// What one WM_DROPFILES carried, read as receivers read it.
struct ReceivedDrop {
    UINT count = 0;
    UINT pathLength = 0;
    std::wstring path;
    POINT point{-1, -1};
    std::vector<std::uint8_t> bytes;  // the whole block, GlobalSize bytes
};

// A message-only window that records the drops it receives.
class DropWindow {
public:
    DropWindow() {
        static const ATOM atom = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = &DropWindow::WindowProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"VEK.DropTestWindow";
            return RegisterClassExW(&wc);
        }();
        hwnd_ = CreateWindowExW(0, MAKEINTATOM(atom), L"drop", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                GetModuleHandleW(nullptr), this);
    }
    ~DropWindow() { Destroy(); }
    DropWindow(const DropWindow&) = delete;
    DropWindow& operator=(const DropWindow&) = delete;

    Hwnd Handle() const { return FromHwnd(hwnd_); }
    void Destroy() {
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }

    // Handles every message waiting for this thread; posted messages are
    // queued by the time PostMessage returns.
    const std::vector<ReceivedDrop>& Pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        return drops_;
    }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* self =
                static_cast<DropWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<DropWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (message == WM_DROPFILES && self != nullptr) {
            self->drops_.push_back(Read(reinterpret_cast<HDROP>(wParam)));
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    static ReceivedDrop Read(HDROP drop) {
        ReceivedDrop r;
        r.count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        r.pathLength = DragQueryFileW(drop, 0, nullptr, 0);
        std::wstring path(r.pathLength + 1, L'\0');
        path.resize(DragQueryFileW(drop, 0, path.data(), r.pathLength + 1));
        r.path = path;
        DragQueryPoint(drop, &r.point);
        const SIZE_T size = GlobalSize(drop);
        if (const void* data = GlobalLock(drop)) {
            const auto* bytes = static_cast<const std::uint8_t*>(data);
            r.bytes.assign(bytes, bytes + size);
            GlobalUnlock(drop);
        }
        DragFinish(drop);
        return r;
    }

    HWND hwnd_ = nullptr;
    std::vector<ReceivedDrop> drops_;
};

std::uint32_t Field(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    return value;
}

class DropTest : public ::testing::Test {
protected:
    // Posts path through the real PostDropFiles and checks the block the
    // window receives, field by field; returns it.
    ReceivedDrop PostAndReceive(const std::u16string& path) {
        const std::vector<std::uint8_t> block = BuildDropBlock(platform, path);
        PostDropFiles(window.Handle(), block);
        const auto& drops = window.Pump();
        EXPECT_EQ(drops.size(), 1u);
        if (drops.size() != 1) return {};
        const ReceivedDrop& r = drops.back();
        EXPECT_EQ(r.count, 1u);
        EXPECT_EQ(r.path, Wide(path));
        EXPECT_EQ(r.pathLength, path.size());
        EXPECT_EQ(r.point.x, 0);
        EXPECT_EQ(r.point.y, 0);
        EXPECT_GE(r.bytes.size(), block.size());
        if (r.bytes.size() < block.size()) return r;
        EXPECT_EQ(Field(r.bytes, 0), 20u);  // pFiles
        EXPECT_EQ(Field(r.bytes, 4), 0u);   // pt.x
        EXPECT_EQ(Field(r.bytes, 8), 0u);   // pt.y
        EXPECT_EQ(Field(r.bytes, 12), 0u);  // fNC
        EXPECT_EQ(Field(r.bytes, 16), 0u);  // fWide: an ANSI list
        const std::string ansi = platform.Encode(CodePage::Ansi, path);
        EXPECT_EQ(std::string(r.bytes.begin() + 20, r.bytes.begin() + 20 + ansi.size()), ansi);
        EXPECT_EQ(r.bytes[20 + ansi.size()], 0);      // the path's end
        EXPECT_EQ(r.bytes[20 + ansi.size() + 1], 0);  // the list's end
        return r;
    }

    Win32Platform platform;
    DropWindow window;
};

TEST_F(DropTest, AsciiPath) {
    ReceivedDrop r = PostAndReceive(u"C:\\work\\a.txt");
    ASSERT_GE(r.bytes.size(), 35u);
    EXPECT_EQ(std::string(r.bytes.begin() + 20, r.bytes.begin() + 35),
              std::string("C:\\work\\a.txt\0\0", 15));
}

TEST_F(DropTest, JapanesePath) {
    if (GetACP() != 932) GTEST_SKIP() << "needs the Japanese code page";
    ReceivedDrop r = PostAndReceive(u"C:\\\u4f5c\u696d\\\u65e5\u672c\u8a9e.txt");
    const std::string sjis = "C:\\\x8d\xec\x8b\xc6\\\x93\xfa\x96\x7b\x8c\xea.txt";
    ASSERT_GE(r.bytes.size(), 20 + sjis.size() + 2);
    EXPECT_EQ(std::string(r.bytes.begin() + 20, r.bytes.begin() + 20 + sjis.size() + 2),
              sjis + std::string(2, '\0'));
}

TEST_F(DropTest, PathLongerThanMaxPath) {
    std::u16string path = u"C:";
    for (int i = 0; i < 15; ++i)
        path += u"\\" + std::u16string(30, static_cast<char16_t>(u'a' + i));
    path += u"\\file.txt";
    ASSERT_GT(path.size(), 400u);
    PostAndReceive(path);
}

TEST_F(DropTest, PostToAGoneWindowIsNoFailure) {
    const Hwnd gone = window.Handle();
    window.Destroy();
    EXPECT_NO_THROW(PostDropFiles(gone, BuildDropBlock(platform, u"C:\\a.txt")));
    EXPECT_TRUE(window.Pump().empty());
}

// DROP from the command text to the receiver, from a current directory deeper
// than MAX_PATH.
class DeepDirectoryDropTest : public DropTest {
protected:
    DeepDirectoryDropTest() {
        DWORD need = GetCurrentDirectoryW(0, nullptr);
        saved_.resize(need);
        saved_.resize(GetCurrentDirectoryW(need, saved_.data()));
        wchar_t base[MAX_PATH + 1];
        GetTempPathW(MAX_PATH + 1, base);
        std::u16string dir = U16(base) + u"vek-drop-test-" + PlainNumber(GetCurrentProcessId());
        for (int i = 0; i <= 10; ++i) {
            if (i != 0) dir += u"\\" + std::u16string(30, static_cast<char16_t>(u'a' + i));
            CreateDirectoryW(FileApiPath(dir).c_str(), nullptr);
            created_.push_back(dir);
        }
        deep_ = dir;
        file_ = deep_ + u"\\a.txt";
        UniqueHandle file(CreateFileW(FileApiPath(file_).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    ~DeepDirectoryDropTest() override {
        SetCurrentDirectoryW(saved_.c_str());
        DeleteFileW(FileApiPath(file_).c_str());
        for (auto it = created_.rbegin(); it != created_.rend(); ++it) {
            RemoveDirectoryW(FileApiPath(*it).c_str());
        }
    }

    std::u16string deep_;
    std::u16string file_;

private:
    std::wstring saved_;
    std::vector<std::u16string> created_;
};

TEST_F(DeepDirectoryDropTest, FileArrivesWithItsWholePath) {
    ASSERT_GT(deep_.size(), 300u);
    ASSERT_TRUE(platform.FileExists(file_));
    if (!SetCurrentDirectoryW(Wide(deep_).c_str())) {
        GTEST_SKIP() << "the system limits the current directory to MAX_PATH";
    }
    ASSERT_EQ(platform.CurrentDirectory(), deep_);
    DropFile(platform, window.Handle(), u"DROP#a.txt");
    const auto& drops = window.Pump();
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0].path, Wide(file_));
}

}  // namespace
}  // namespace vek::win32
