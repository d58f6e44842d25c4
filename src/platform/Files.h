#pragma once
// Files: the current directory, whether a file is there, reading, replacing.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace vek {

class InputFile {
public:
    virtual ~InputFile() = default;
    // 0 at the end of the file.
    virtual std::size_t Read(std::span<char> buffer) = 0;
    // When it was opened; 0 where it cannot be told.
    virtual std::uint64_t Size() const = 0;
};

class Files {
public:
    virtual ~Files() = default;

    // Without a trailing separator unless it is a root.
    virtual std::u16string CurrentDirectory() const = 0;

    // A normal file by its exact name: no wildcards, directories, hidden or
    // system files.
    virtual bool FileExists(std::u16string_view path) const = 0;

    virtual std::unique_ptr<InputFile> OpenForRead(std::u16string_view path) = 0;

    // Atomically: the new bytes are all there, or the old file is left as it was.
    virtual void ReplaceFileContent(std::u16string_view path, std::string_view bytes) = 0;
};

}  // namespace vek
