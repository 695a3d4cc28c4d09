#pragma once
// A video window (the local or the received picture) that can be placed
// inside a window of the owner.

#include <cstdint>

#include "sip_engine/rtc/rtc_codes.h"

namespace pelex::sip_engine::rtc {

class IVideoWindow {
public:
    virtual ~IVideoWindow() = default;
    /// Sets the window style bits (kChildClipSiblingsStyle for an embedded picture).
    virtual void put_WindowStyle(std::int32_t style) = 0;
    /// Makes `owner` the parent window; 0 detaches it.
    virtual void put_Owner(WindowHandle owner) = 0;
    /// Places the window inside its owner, in pixels.
    virtual void SetWindowPosition(std::int32_t left, std::int32_t top, std::int32_t width,
                                   std::int32_t height) = 0;
    /// Shows (true) or hides (false) the window.
    virtual void put_Visible(bool visible) = 0;
};

}  // namespace pelex::sip_engine::rtc
