#pragma once
// The control's call engine on sip_engine's clsRTC: every operation and
// property goes straight to the engine, and its events come back to the
// control's handlers.

#include <chrono>
#include <optional>

#include "control/call_engine.h"
#include "sip_engine/cls_rtc.h"

namespace pelex::control {

/// Returns a factory that makes each new engine as a clsRTC on `platform`,
/// waiting at most `registrationWait` for its first registration (the
/// engine's own default when not given).
CallEngineFactory clsRtcEngineFactory(sip_engine::ClsRTCPlatform platform,
                                      std::optional<std::chrono::milliseconds> registrationWait = std::nullopt);

}  // namespace pelex::control
