// Files: reading and replacing wait a moment for a file another program holds.

#include <algorithm>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace vek::win32 {
namespace {

// The full path, with the \\?\ prefix the file functions need beyond MAX_PATH.
std::wstring FileApiPath(std::u16string_view path) {
    std::wstring wide = Wide(path);
    DWORD need = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (need == 0) return wide;
    std::wstring full(need, L'\0');
    DWORD got = GetFullPathNameW(wide.c_str(), need, full.data(), nullptr);
    if (got == 0 || got >= need) return wide;
    full.resize(got);
    if (full.size() < MAX_PATH - 12 || full.starts_with(L"\\\\?\\") ||
        full.starts_with(L"\\\\.\\")) {
        return full;
    }
    if (full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

class Win32InputFile final : public InputFile {
public:
    Win32InputFile(ScopedHandle file, std::u16string path)
        : file_(std::move(file)), path_(std::move(path)) {}

    std::size_t Read(std::span<char> buffer) override {
        const auto want = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
        DWORD got = 0;
        if (!ReadFile(file_.Get(), buffer.data(), want, &got, nullptr)) {
            ThrowLastError(Operation::Read, path_);
        }
        return got;
    }

    std::uint64_t Size() const override {
        LARGE_INTEGER size{};
        return GetFileSizeEx(file_.Get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
    }

private:
    ScopedHandle file_;
    std::u16string path_;
};

// Tries attempt again for about a second while another program holds the file
// (a vek.exe reading vek.ini while INIT replaces it, a virus scanner, a search
// indexer, a sync client) or deletes it. The last error is attempt's.
template <typename Attempt>
bool Retrying(Attempt attempt) {
    constexpr ULONGLONG kRetryForMs = 1000;
    constexpr DWORD kPauseMs = 20;
    for (const ULONGLONG start = GetTickCount64();; Sleep(kPauseMs)) {
        if (attempt()) return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) ||
            GetTickCount64() - start >= kRetryForMs) {
            SetLastError(error);
            return false;
        }
    }
}

}  // namespace

bool WriteAll(HANDLE handle, std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD wrote = 0;
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!WriteFile(handle, bytes.data(), chunk, &wrote, nullptr) || wrote == 0) return false;
        bytes.remove_prefix(wrote);
    }
    return true;
}

std::u16string Win32Platform::CurrentDirectory() const {
    for (;;) {  // again when the directory changed between the two calls
        const DWORD need = GetCurrentDirectoryW(0, nullptr);
        if (need == 0) ThrowLastError(Operation::CurrentDirectory);
        std::wstring dir(need, L'\0');
        const DWORD got = GetCurrentDirectoryW(need, dir.data());
        if (got != 0 && got < need) return U16(std::wstring_view(dir.data(), got));
    }
}

bool Win32Platform::FileExists(std::u16string_view path) const {
    if (path.empty() || path.find_first_of(u"*?") != std::u16string_view::npos) return false;
    // Device names such as CON are no files, wherever they stand.
    const std::wstring full = FileApiPath(path);
    if (full.starts_with(L"\\\\.\\")) return false;
    DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    constexpr DWORD kNotNormal = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DEVICE;
    return (attributes & kNotNormal) == 0;
}

std::unique_ptr<InputFile> Win32Platform::OpenForRead(std::u16string_view path) {
    const std::wstring full = FileApiPath(path);
    ScopedHandle file;
    // Shared for deleting too: INIT replaces vek.ini while other runs read it.
    const auto open = [&] {
        file.Reset(NullIfInvalid(CreateFileW(
            full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
            nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)));
        return static_cast<bool>(file);
    };
    if (!Retrying(open)) ThrowLastError(Operation::Open, path);
    // Devices such as CON or a named pipe are not text files to read.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) {
        throw RuntimeFailure(SystemFailure{Operation::OpenNotAFile, 0, std::u16string(path)});
    }
    return std::make_unique<Win32InputFile>(std::move(file), std::u16string(path));
}

void Win32Platform::ReplaceFileContent(std::u16string_view path, std::string_view bytes) {
    const std::wstring target = FileApiPath(path);
    // No retrying can make a read-only file writable: say so at once.
    if (const DWORD attributes = GetFileAttributesW(target.c_str());
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        throw RuntimeFailure(SystemFailure{Operation::ReplaceReadOnly, 0, std::u16string(path)});
    }
    // Written beside the file, then moved over it in one step: a failure leaves
    // the old file, a reader finds old or new, never a part. The longer name
    // takes its own long form.
    const std::wstring temporary =
        FileApiPath(std::u16string(path) + u".~" + PlainNumber(GetCurrentProcessId()) + u".tmp");
    ScopedHandle file(NullIfInvalid(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file) ThrowLastError(Operation::Write, path);
    // Any failure from here on removes the temporary file first.
    auto abandon = [&](Operation operation) {
        const DWORD error = GetLastError();
        file.Reset();
        DeleteFileW(temporary.c_str());
        throw RuntimeFailure(SystemFailure{operation, error, std::u16string(path)});
    };
    if (!WriteAll(file.Get(), bytes) || !FlushFileBuffers(file.Get())) abandon(Operation::Write);
    file.Reset();
    // A reader holding vek.ini for a moment refuses the replace.
    const auto replace = [&] {
        return MoveFileExW(temporary.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    };
    if (!Retrying(replace)) abandon(Operation::Replace);
}

}  // namespace vek::win32
