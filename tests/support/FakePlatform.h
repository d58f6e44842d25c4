#pragma once
// The test double: files in memory, messages and drops recorded, code pages as Windows has them.

#include <iconv.h>

#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/Platform.h"
#include "text/Text.h"

namespace vek {

struct FakeFile {
    std::string bytes;
    std::uint64_t crs = 0;  // CRs after the bytes, made up as read: 2^31 lines need no memory
    bool locked = false;    // opening it fails, as for a file another process holds
};

class FakePlatform : public Platform {
public:
    explicit FakePlatform(unsigned ansiCodePage = 932) : ansiCodePage_(ansiCodePage) {}

    // Set-up. Paths are made absolute, as Windows makes them.
    std::u16string commandLine = u"vek.exe";
    std::u16string currentDirectory = u"C:\\work";
    std::map<std::string, HostSnapshot, std::less<>> hostMemory;  // by mapping name
    std::set<std::string, std::less<>> refusedHostMemory;         // exists, may not be read
    std::set<Hwnd> windows = {77};                                // the handles that name windows
    std::size_t readBlockLimit = 0;  // when not 0, Read returns at most this many bytes
    bool failWrites = false;         // ReplaceFileContent fails and leaves the file as it was
    ErrorStream errorStream = ErrorStream::None;
    bool errorWriteFails = false;
    Onlooker onlooker = Onlooker::User;
    Delivery delivery;               // what becomes of every request and drop
    bool failAfterHandOver = false;  // running out of memory once it went out
    bool outOfMemoryOnOpen = false;  // OpenForRead runs out of memory
    FakeFile& AddFile(std::u16string_view path, std::string bytes = {});
    std::optional<std::string> FileBytes(std::u16string_view path) const {
        const auto it = files_.find(Key(path));
        return it == files_.end() ? std::nullopt : std::optional(it->second.bytes);
    }

    // Records.
    std::vector<std::tuple<Hwnd, std::uint32_t, std::string>> sent;  // target, marker, bytes
    std::vector<std::u16string> messages;  // the requests shown instead of sent
    std::vector<std::u16string> failureMessages;
    std::u16string errorOutput;
    std::vector<std::u16string> eventLog;
    std::vector<std::pair<Hwnd, std::vector<std::uint8_t>>> drops;

    Hwnd OwnHwnd() const override { return 1234; }
    std::u16string CommandLine() const override { return commandLine; }
    std::u16string CurrentDirectory() const override { return currentDirectory; }
    bool FileExists(std::u16string_view path) const override { return files_.contains(Key(path)); }
    std::unique_ptr<InputFile> OpenForRead(std::u16string_view path) override;
    void ReplaceFileContent(std::u16string_view path, std::string_view bytes) override {
        if (failWrites)
            throw RuntimeFailure(SystemFailure{Operation::Write, kDiskFull, std::u16string(path)});
        AddFile(path, std::string(bytes));
    }
    void AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const override;
    std::string Encode(CodePage cp, std::u16string_view text) const override;
    bool WindowExists(Hwnd target) const override { return windows.contains(target); }
    Delivery SendCopyData(Hwnd target, std::uint32_t marker, std::string bytes) override {
        sent.emplace_back(target, marker, std::move(bytes));
        return Delivered();
    }
    Delivery PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) override {
        drops.push_back({target, {block.begin(), block.end()}});
        return Delivered();
    }
    void ShowMessage(std::u16string_view text, MessageKind kind) override {
        (kind == MessageKind::Failure ? failureMessages : messages).emplace_back(text);
    }
    Onlooker WhoSeesWindows() const override { return onlooker; }
    // The errors the double fails with, and Windows' English texts for those the tests name.
    static constexpr std::uint32_t kFileNotFound = 2, kSharingViolation = 32, kDiskFull = 112;
    std::u16string SystemErrorText(std::uint32_t error) const override {
        if (error == kSharingViolation)
            return u"The process cannot access the file because it is being used by another "
                   u"process.\r\n";
        if (error == kDiskFull) return u"There is not enough space on the disk.\r\n";
        if (error == 6) return u"The handle is invalid.\r\n";
        if (error == 1816) return u"Not enough quota is available to process this command.\r\n";
        return {};
    }
    ErrorStream ErrorOutput() const override { return errorStream; }
    bool WriteError(std::u16string_view text) override {
        if (!errorWriteFails) errorOutput += text;
        return !errorWriteFails;
    }
    void WriteEventLog(std::u16string_view text) override { eventLog.emplace_back(text); }
    HostMemory ReadHostMemory(std::string_view name, HostSnapshot& snapshot) override {
        if (refusedHostMemory.contains(name)) return HostMemory::Refused;
        const auto it = hostMemory.find(name);
        if (it == hostMemory.end()) return HostMemory::None;
        snapshot = it->second;
        return HostMemory::Read;
    }

private:
    Delivery Delivered() const {
        if (failAfterHandOver) throw std::bad_alloc();
        return delivery;
    }
    std::u16string Key(std::u16string_view path) const;
    unsigned Number(CodePage cp) const { return cp == CodePage::Ansi ? ansiCodePage_ : cp.number; }
    iconv_t Converter(CodePage cp, bool decode) const;
    // The characters of the first plane whose round trip gives another one.
    const std::vector<bool>& LookAlikes(CodePage cp) const;

    unsigned ansiCodePage_;
    std::map<std::u16string, FakeFile> files_;
    // Opening a converter costs far more than converting a line: they are kept.
    mutable std::map<std::pair<unsigned, bool>, std::shared_ptr<void>> converters_;
};

}  // namespace vek
