#pragma once
// The form F_ZERO: the state of one run and its event handlers. The window
// itself belongs to the platform; the handlers return what the run does next.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

// What the run does after a handler returns.
enum class Outcome {
    EndRun,          // the run is over: exit at once
    ShowBalloon,     // show the window and play BlnText, a tick every 50 ms
    ShowTestWindow,  // show the test window; it stays until closed
    KeepRunning,     // the balloon goes on playing
};

class F_ZERO {
public:
    explicit F_ZERO(Platform& platform) : platform_(platform) {}

    // Everything a run decides, before the window is ever shown.
    Outcome Form_Load();

    // One balloon player tick: KeepRunning while the text plays (the window
    // then shows BlnShown and fits itself around it), EndRun once it is done.
    Outcome TmBln_Timer();

    // The exit code of a run that ends without a failure: 1 when the balloon
    // reported that nothing could be delivered, else 0.
    int ExitCode() const { return exitCode_; }

    // True once a request or a drop went to the host: a failure after that
    // may follow a delivery.
    bool HandedOver() const { return handedOver_; }

    // Form state, zero or empty when the form loads.
    Hwnd TargetHwnd = 0;
    std::u16string BlnText;
    std::u16string BlnShown;
    std::int32_t BlnPos = 0;
    std::int32_t BlnWait = 0;

private:
    Outcome SendSstp(std::u16string request);
    Outcome StartBln();
    void DropCommand(std::u16string_view argument);
    // outcome, when what it shows can be seen by the onlooker it needs (one
    // who may come later, for a window that closes by itself); else a
    // failure naming what, with the request that would be lost.
    Outcome Shown(Outcome outcome, std::u16string_view what, std::u16string_view request = {},
                  Onlooker needed = Onlooker::NobodyNow) const;

    Platform& platform_;
    // A host memory that may not be read, met while looking the host up.
    std::u16string refusedHost_;
    int exitCode_ = 0;
    bool handedOver_ = false;
};

}  // namespace vek
