#pragma once
// The form F_ZERO: the state of one run and its event handlers, which return
// what the run does next. The window itself is the platform's.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace vek {

enum class Outcome {
    EndRun,
    ShowBalloon,     // show the window and play BlnText, a tick every 50 ms
    ShowTestWindow,  // it stays until closed
    KeepRunning,     // the balloon goes on playing
};

class F_ZERO {
public:
    explicit F_ZERO(Platform& platform) : platform_(platform) {}

    // Everything a run decides, before the window is ever shown.
    Outcome Form_Load();
    // One balloon tick; the window then shows BlnShown.
    Outcome TmBln_Timer();

    // Of a run without a failure: 1 when the balloon says nothing was delivered.
    int ExitCode() const { return exitCode_; }
    // A request or a drop went to the host: a failure after it may follow a delivery.
    bool HandedOver() const { return handedOver_; }

    Hwnd TargetHwnd = 0;
    std::u16string BlnText;
    std::u16string BlnShown;
    std::int32_t BlnPos = 0;
    std::int32_t BlnWait = 0;

private:
    Outcome SendSstp(std::u16string request);
    Outcome StartBln();
    // outcome, when what it shows can be seen by the onlooker it needs (one
    // who may come later, for a window that closes by itself); else a failure.
    Outcome Shown(Outcome outcome, std::u16string_view what, std::u16string_view request = {},
                  Onlooker needed = Onlooker::NobodyNow) const;

    Platform& platform_;
    std::u16string refusedHost_;  // a host memory that may not be read
    int exitCode_ = 0;
    bool handedOver_ = false;
};

}  // namespace vek
