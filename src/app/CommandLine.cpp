#include "app/CommandLine.h"

namespace vek {

std::u16string ArgumentText(std::u16string_view commandLine) {
    std::size_t i = 0;
    if (!commandLine.empty() && commandLine[0] == u'"') {
        i = commandLine.find(u'"', 1);
        i = i == std::u16string_view::npos ? commandLine.size() : i + 1;
    } else {
        while (i < commandLine.size() && commandLine[i] != u' ' && commandLine[i] != u'\t') ++i;
    }
    while (i < commandLine.size() && (commandLine[i] == u' ' || commandLine[i] == u'\t')) ++i;
    return std::u16string(commandLine.substr(i));
}

}  // namespace vek
