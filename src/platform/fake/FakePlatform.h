#pragma once
// The test double of the platform: files live in memory, messages and drops
// are recorded, and code pages are converted by glibc's iconv, so Shift_JIS
// bytes are real Shift_JIS bytes.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace vek {

struct FakeFile {
    std::string bytes;
    bool directory = false;
    bool hidden = false;
    bool system = false;
    bool locked = false;  // opening it for reading fails, as for a file another process holds
};

class FakePlatform : public Platform {
public:
    // ansiCodePage: 932 (Shift_JIS), 1252 (Western) or 65001 (UTF-8).
    explicit FakePlatform(unsigned ansiCodePage = 932);

    // Set-up.
    Hwnd ownHwnd = 1234;
    std::u16string commandArgs;
    std::u16string currentDirectory = u"C:\\work";
    std::map<std::string, HostSnapshot> hostMemory;  // by mapping name
    std::size_t readBlockLimit = 0;  // when not 0, Read returns at most this many bytes
    bool failWrites = false;         // ReplaceFileContent fails and leaves the file as it was

    void AddFile(std::u16string_view path, std::string bytes);
    void AddDirectory(std::u16string_view path);
    FakeFile* Find(std::u16string_view path);
    // The bytes of a file, nullopt when there is none.
    std::optional<std::string> FileBytes(std::u16string_view path);

    // Records.
    struct CopyData {
        Hwnd target;
        std::uint32_t marker;
        std::string bytes;
    };
    struct Drop {
        Hwnd target;
        std::vector<std::uint8_t> block;
    };
    std::vector<CopyData> sent;
    std::vector<std::u16string> messages;
    std::vector<Drop> drops;
    std::vector<std::string> hostMemoryAsked;
    int replaceCount = 0;

    // Platform.
    Hwnd OwnHwnd() const override { return ownHwnd; }
    std::u16string CommandArgs() const override { return commandArgs; }
    std::u16string CurrentDirectory() const override { return currentDirectory; }
    bool FileExists(std::u16string_view path) const override;
    std::unique_ptr<InputFile> OpenForRead(std::u16string_view path) override;
    void ReplaceFileContent(std::u16string_view path, std::string_view bytes) override;
    void AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const override;
    void AppendEncoded(CodePage cp, std::u16string_view text, std::string& out,
                       bool* lossy) const override;
    void SendCopyData(Hwnd target, std::uint32_t marker, std::span<const char> bytes) override;
    void ShowMessage(std::u16string_view text) override;
    std::optional<HostSnapshot> ReadHostMemory(std::string_view name) override;
    void PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) override;

    // The key a path is stored under: made absolute against the current
    // directory, ".\" segments dropped, ASCII letters folded to lower case.
    std::u16string Key(std::u16string_view path) const;

private:
    class Codec;
    unsigned CodePageNumber(CodePage cp) const;
    Codec& CodecFor(unsigned codePage, bool decode) const;

    unsigned ansiCodePage_;
    std::map<std::u16string, FakeFile> files_;
    // iconv descriptors by code page and direction, opened on first use.
    mutable std::map<std::pair<unsigned, bool>, std::shared_ptr<Codec>> codecs_;
};

}  // namespace vek
