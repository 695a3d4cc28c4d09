#pragma once
// OneShotTimer on a QTimer: runs on the thread that created it.

#include <memory>

#include "sip_engine/cls_rtc.h"
#include "sip_engine/one_shot_timer.h"

namespace pelex::sip_engine::linphone_rtc {

/// A factory of Qt one-shot timers.
OneShotTimerFactory qtOneShotTimerFactory();

/// Everything the engine needs on this platform: liblinphone clients and Qt
/// timers. Use as `clsRTC engine(linphonePlatform(), &events);`.
ClsRTCPlatform linphonePlatform();

}  // namespace pelex::sip_engine::linphone_rtc
