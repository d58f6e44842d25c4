#pragma once
// Small text helpers of the stand-in host: UTF-8 output that survives any
// console code page, and hex dumps for exact byte records.

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/win32/ScopedWin.h"

namespace vek::tools {

inline std::string ToCodePage(UINT codePage, std::wstring_view text) {
    if (text.empty()) return {};
    int need = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(need), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), need,
                        nullptr, nullptr);
    return out;
}

inline std::string Utf8(std::wstring_view text) {
    return ToCodePage(CP_UTF8, text);
}

inline std::wstring FromCodePage(UINT codePage, std::string_view bytes) {
    if (bytes.empty()) return {};
    int need =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(need), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(),
                        need);
    return out;
}

inline std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// Writes UTF-8 text to standard output: through WriteConsoleW on a console,
// as bytes to a pipe or file.
inline void Print(std::string_view utf8) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        std::wstring wide = FromCodePage(CP_UTF8, utf8);
        WriteConsoleW(out, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    } else {
        WriteFile(out, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    }
}

// Appends a line to a UTF-8 log file, opened and closed each time so that a
// reader sees every record at once.
inline bool AppendLine(const std::wstring& path, std::string_view line) {
    const win32::ScopedHandle file(win32::NullIfInvalid(
        CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    const std::string data = std::string(line) + "\n";
    DWORD written = 0;
    return file &&
           WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
}

inline std::string Decimal(long long value) {
    return std::to_string(value);
}

// Appends a whole file's bytes; false when it cannot be opened.
inline bool ReadWholeFile(const std::wstring& path, std::string& bytes) {
    const win32::ScopedHandle file(win32::NullIfInvalid(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)));
    char buffer[4096];
    DWORD got = 0;
    while (file && ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got != 0)
        bytes.append(buffer, got);
    return static_cast<bool>(file);
}

}  // namespace vek::tools
