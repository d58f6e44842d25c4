#pragma once
// The platform as Windows provides it, one file per job of platform/Platform.h:
// Win32Platform.cpp the window, command line and codec; Files.cpp files; Send.cpp
// the host, its memory and what is handed to its window; Reports.cpp the desktop
// (message box, standard error, event log) and the system's error texts. A failed
// call throws its facts (WinText.h), the core words them. FormWindow: the form's
// window; WinMain.cpp: the run and its faults; ScopedWin.h: owners of handles.

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

// False when a write fails or takes nothing (the last error says why).
bool WriteAll(HANDLE handle, std::string_view bytes);

}  // namespace vek::win32
