// Files: the current directory, whether a file is there, reading one, and
// replacing vek.ini in one step; each waits a moment for a file that another
// program holds.

#include <algorithm>
#include <initializer_list>

#include "platform/win32/ScopedWin.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WinText.h"
#include "text/Failure.h"
#include "text/Text.h"

namespace vek::win32 {
namespace {

// The full path of path, in the form the file functions accept beyond
// MAX_PATH characters (with the \\?\ prefix when it is that long).
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
        DWORD want = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1u << 30));
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

// Tries attempt again while it fails with one of the given errors, for about
// a second in all: another program may hold a file for a moment (a second
// vek.exe reading vek.ini while INIT replaces it, a virus scanner, the search
// indexer, a sync client), or be deleting it. The last error is attempt's.
template <typename Attempt>
bool Retrying(Attempt attempt, std::initializer_list<DWORD> passing) {
    constexpr ULONGLONG kRetryForMs = 1000;
    constexpr DWORD kPauseMs = 20;
    const ULONGLONG start = GetTickCount64();
    for (;;) {
        if (attempt()) return true;
        const DWORD error = GetLastError();
        if (std::find(passing.begin(), passing.end(), error) == passing.end() ||
            GetTickCount64() - start >= kRetryForMs) {
            SetLastError(error);
            return false;
        }
        Sleep(kPauseMs);
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
    for (;;) {
        DWORD need = GetCurrentDirectoryW(0, nullptr);
        if (need == 0) ThrowLastError(Operation::CurrentDirectory);
        std::wstring dir(need, L'\0');
        DWORD got = GetCurrentDirectoryW(need, dir.data());
        if (got != 0 && got < need) {
            dir.resize(got);
            return U16(dir);
        }
        // The directory changed between the two calls; ask again.
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
    // Shared for deleting too: INIT replaces vek.ini while other runs read it.
    // A file that is being deleted refuses access until it is gone.
    const std::wstring full = FileApiPath(path);
    ScopedHandle file;
    const bool opened = Retrying(
        [&] {
            file.Reset(NullIfInvalid(CreateFileW(
                full.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr)));
            return static_cast<bool>(file);
        },
        {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED});
    if (!opened) ThrowLastError(Operation::Open, path);
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
    // Write the new content beside the file, then move it over the old one in
    // one step: a failure on the way leaves the old file as it was, and a
    // reader finds the old file or the new one, never a part. The temporary
    // name is longer than the file's, so it takes the long form on its own.
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
    if (!Retrying(
            [&] {
                return MoveFileExW(temporary.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
            },
            {ERROR_SHARING_VIOLATION, ERROR_ACCESS_DENIED})) {
        abandon(Operation::Replace);
    }
}

}  // namespace vek::win32
