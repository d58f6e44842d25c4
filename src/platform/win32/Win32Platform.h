#pragma once
// The platform as Windows provides it.

#include <windows.h>

#include "platform/Platform.h"

namespace vek::win32 {

class Win32Platform final : public Platform {
public:
    // The form's window, created before the form loads.
    void SetOwnWindow(HWND hwnd) { own_ = hwnd; }

    Hwnd OwnHwnd() const override;
    std::u16string CommandArgs() const override;
    std::u16string CurrentDirectory() const override;
    bool FileExists(std::u16string_view path) const override;
    std::unique_ptr<InputFile> OpenForRead(std::u16string_view path) override;
    void ReplaceFileContent(std::u16string_view path, std::string_view bytes) override;
    void AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const override;
    void AppendEncoded(CodePage cp, std::u16string_view text, std::string& out,
                       bool* lossy) const override;
    void SendCopyData(Hwnd target, std::uint32_t marker, std::string bytes) override;
    void ShowMessage(std::u16string_view text, MessageKind kind) override;
    ErrorStream ErrorOutput() const override;
    void WriteError(std::u16string_view text) override;
    std::optional<HostSnapshot> ReadHostMemory(std::string_view name) override;
    void PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) override;

private:
    HWND own_ = nullptr;
};

// The full path of path, in the form the file functions accept beyond
// MAX_PATH characters (with the \\?\ prefix when it is that long).
std::wstring FileApiPath(std::u16string_view path);

}  // namespace vek::win32
