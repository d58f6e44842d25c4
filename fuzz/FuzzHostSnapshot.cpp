// Any 1024 bytes of host memory: a handle or 0, never a failure.

#include <algorithm>
#include <cstring>

#include "FuzzInput.h"
#include "delivery/HostLookup.h"
#include "platform/fake/FakePlatform.h"
#include "text/Text.h"

using namespace vek;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input input(data, size);
    const std::uint8_t mode = input.Byte();
    FakePlatform fake(mode % 3 == 0 ? 932 : mode % 3 == 1 ? 1252 : 65001);
    const std::string bytes = input.Rest();
    HostSnapshot snapshot{};
    std::memcpy(snapshot.data(), bytes.data(), std::min(bytes.size(), snapshot.size()));

    Hwnd found = 0;
    try {
        found = HostHwndFromSnapshot(fake, snapshot);
        if (mode & 0x80) {
            fake.hostMemory[(mode & 0x40) ? "enbryo" : "Sakura"] = snapshot;
            fuzz::Check(LookUpHostHwnd(fake) == found, "the lookup reads the snapshot it is given");
        }
    } catch (...) {
        fuzz::Broken("host memory never makes the run fail");
    }
    if (found != 0) {
        const std::string_view text(reinterpret_cast<const char*>(snapshot.data()) + 4,
                                    snapshot.size() - 4);
        fuzz::Check(text.find("hwnd\x01") != std::string_view::npos,
                    "a handle comes only from an entry whose key ends in hwnd");
    }
    return 0;
}
