#pragma once
// Files: the current directory, whether a file is there, reading one, and
// replacing one's content.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace vek {

// A file opened for sequential reading.
class InputFile {
public:
    virtual ~InputFile() = default;
    // Reads up to buffer.size() bytes and returns how many were read; 0 at the
    // end of the file.
    virtual std::size_t Read(std::span<char> buffer) = 0;
    // The file's size in bytes when it was opened; 0 where it cannot be told.
    virtual std::uint64_t Size() const = 0;
};

class Files {
public:
    virtual ~Files() = default;

    // The current directory, without a trailing separator unless it is a root.
    virtual std::u16string CurrentDirectory() const = 0;

    // True when path names an existing normal file by its exact name: no
    // wildcard matching; directories, hidden and system files do not count.
    virtual bool FileExists(std::u16string_view path) const = 0;

    virtual std::unique_ptr<InputFile> OpenForRead(std::u16string_view path) = 0;

    // Replaces the whole content of path atomically: either the new bytes are
    // all there or the old file is left as it was.
    virtual void ReplaceFileContent(std::u16string_view path, std::string_view bytes) = 0;
};

}  // namespace vek
