#pragma once
// What a script is told about a request or a drop handed to the host's window.
// Exit code 1 promises that nothing reached the host, nor will later; 2 says
// that it may have, or may still.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/Host.h"
#include "text/Failure.h"

namespace vek {

// Return when the host took it; else throw the report of what became of it.
void RequireRequestTaken(const ErrorTexts& texts, const Delivery& delivery, Hwnd target,
                         std::size_t bytes);
void RequireDropTaken(const ErrorTexts& texts, const Delivery& delivery, Hwnd target);

// The report for a host that keeps vek.exe out; who names it.
std::u16string HigherRights(std::u16string_view who);

}  // namespace vek
