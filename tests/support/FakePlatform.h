#pragma once
// The test double of the platform: files live in memory, messages and drops
// are recorded, and code pages are converted by glibc's iconv, so Shift_JIS
// bytes are real Shift_JIS bytes.

#include <iconv.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Platform.h"

namespace vek {

struct FakeFile {
    std::string bytes;
    // CRs after the bytes, made up as they are read: a line count that meets
    // the signed 32-bit limit needs no memory.
    std::uint64_t crs = 0;
    bool hidden = false;  // it opens, but FileExists does not see it
    bool locked = false;  // opening it fails, as for a file another process holds
};

class FakePlatform : public Platform {
public:
    // ansiCodePage: 932 (Shift_JIS), 1252 (Western) or 65001 (UTF-8).
    explicit FakePlatform(unsigned ansiCodePage = 932) : ansiCodePage_(ansiCodePage) {}

    // Set-up. Paths are made absolute against the current directory and ".\"
    // dropped, as the file system would find them.
    std::u16string commandArgs;
    std::u16string currentDirectory = u"C:\\work";
    std::map<std::string, HostSnapshot, std::less<>> hostMemory;  // by mapping name
    std::size_t readBlockLimit = 0;  // when not 0, Read returns at most this many bytes
    bool failWrites = false;         // ReplaceFileContent fails and leaves the file as it was
    ErrorStream errorStream = ErrorStream::None;
    FakeFile& AddFile(std::u16string_view path, std::string bytes = {});
    std::string* FileBytes(std::u16string_view path);

    // Records.
    std::vector<std::tuple<Hwnd, std::uint32_t, std::string>> sent;  // target, marker, bytes
    std::vector<std::u16string> messages;  // the requests shown instead of sent
    std::vector<std::u16string> failureMessages;
    std::u16string errorOutput;
    std::vector<std::pair<Hwnd, std::vector<std::uint8_t>>> drops;

    Hwnd OwnHwnd() const override { return 1234; }
    std::u16string CommandArgs() const override { return commandArgs; }
    std::u16string CurrentDirectory() const override { return currentDirectory; }
    bool FileExists(std::u16string_view path) const override {
        const auto it = files_.find(Key(path));
        return it != files_.end() && !it->second.hidden;
    }
    std::unique_ptr<InputFile> OpenForRead(std::u16string_view path) override;
    void ReplaceFileContent(std::u16string_view path, std::string_view bytes) override {
        if (failWrites)
            throw RuntimeFailure(FailureKind::FileError, u"Could not write " + Quoted(path));
        AddFile(path, std::string(bytes));
    }
    void AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const override;
    void AppendEncoded(CodePage cp, std::u16string_view text, std::string& out,
                       bool* lossy) const override;
    void SendCopyData(Hwnd target, std::uint32_t marker, std::string bytes) override {
        sent.emplace_back(target, marker, std::move(bytes));
    }
    void ShowMessage(std::u16string_view text, MessageKind kind) override {
        (kind == MessageKind::Failure ? failureMessages : messages).emplace_back(text);
    }
    ErrorStream ErrorOutput() const override { return errorStream; }
    void WriteError(std::u16string_view text) override { errorOutput += text; }
    std::optional<HostSnapshot> ReadHostMemory(std::string_view name) override {
        const auto it = hostMemory.find(name);
        return it == hostMemory.end() ? std::nullopt : std::optional(it->second);
    }
    void PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) override {
        drops.push_back({target, {block.begin(), block.end()}});
    }

private:
    std::u16string Key(std::u16string_view path) const;
    iconv_t Converter(CodePage cp, bool decode) const;
    // The characters of the first plane whose round trip gives another one.
    const std::vector<bool>& LookAlikes(CodePage cp) const;

    unsigned ansiCodePage_;
    std::map<std::u16string, FakeFile> files_;
    // Opening a converter costs far more than converting a line: they are kept.
    mutable std::map<std::pair<unsigned, bool>, std::shared_ptr<void>> converters_;
};

}  // namespace vek
