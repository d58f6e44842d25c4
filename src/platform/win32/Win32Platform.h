#pragma once
// The platform as Windows provides it: one class for the jobs of
// platform/Platform.h, each in a file of its own. Win32Platform.cpp: the
// program's window and command line, and the codec (platform/Codec.h).
// Files.cpp: files (platform/Files.h), and waiting for one held for a moment.
// Send.cpp: the host (platform/Host.h): its memory, and requests and drops
// handed to its window, watched while it takes them. Reports.cpp: the desktop
// (platform/Desktop.h): a message box, standard error and the event log; and
// the system's texts for its errors. A call that fails throws its facts
// (WinText.h's ThrowLastError); the words are the core's. Beside the class:
// FormWindow, the form's window, which becomes the balloon or the test
// window; WinMain.cpp, the run and its faults; ScopedWin.h, owners of handles.

#include <windows.h>

#include "platform/Platform.h"

namespace vek::win32 {

class Win32Platform final : public Platform {
public:
    // The form's window, created before the form loads.
    void SetOwnWindow(HWND hwnd) { own_ = hwnd; }

    Hwnd OwnHwnd() const override;
    std::u16string CommandLine() const override;
    void AppendDecoded(CodePage cp, std::string_view bytes, std::u16string& out) const override;
    std::string Encode(CodePage cp, std::u16string_view text) const override;

    std::u16string CurrentDirectory() const override;
    bool FileExists(std::u16string_view path) const override;
    std::unique_ptr<InputFile> OpenForRead(std::u16string_view path) override;
    void ReplaceFileContent(std::u16string_view path, std::string_view bytes) override;

    bool WindowExists(Hwnd target) const override;
    Delivery SendCopyData(Hwnd target, std::uint32_t marker, std::string bytes) override;
    Delivery PostDropFiles(Hwnd target, std::span<const std::uint8_t> block) override;
    HostMemory ReadHostMemory(std::string_view name, HostSnapshot& snapshot) override;

    void ShowMessage(std::u16string_view text, MessageKind kind) override;
    Onlooker WhoSeesWindows() const override;
    ErrorStream ErrorOutput() const override;
    bool WriteError(std::u16string_view text) override;
    void WriteEventLog(std::u16string_view text) override;
    std::u16string SystemErrorText(std::uint32_t error) const override;

private:
    HWND own_ = nullptr;
};

// Writes all of bytes to handle, in pieces WriteFile takes; false when a
// write fails or takes nothing (the last error says why).
bool WriteAll(HANDLE handle, std::string_view bytes);

}  // namespace vek::win32
