#pragma once
// The control's call engine on sip_engine's clsRTC: every operation and
// property goes straight to the engine, and its events come back to the
// control's handlers.

#include "control/call_engine.h"
#include "sip_engine/cls_rtc.h"

namespace pelex::control {

/// Returns a factory that makes each new engine as a clsRTC on `platform`.
CallEngineFactory clsRtcEngineFactory(sip_engine::ClsRTCPlatform platform);

}  // namespace pelex::control
