#pragma once
// The numeric codes of the RTC client boundary. Every enumerator carries the
// number the engine and its callers compare against, so a value can be shown,
// logged or cast to the integer the events carry.

#include <cstdint>

namespace pelex::sip_engine::rtc {

/// Registration state of a profile (IRTCProfile::State).
enum class RegistrationState : std::int32_t {
    NotRegistered = 0,
    Registering = 1,
    Registered = 2,
    Rejected = 3,
    Unregistering = 4,
    Error = 5,
};

/// State of a session (IRTCSession::State and the session-state event).
enum class SessionState : std::int32_t {
    Idle = 0,
    Incoming = 1,
    Answering = 2,
    InProgress = 3,
    Connected = 4,
    Disconnected = 5,
    Hold = 6,
    Refer = 7,
};

/// Reason given to IRTCSession::Terminate.
enum class TerminateReason : std::int32_t {
    Normal = 0,
    Busy = 1,
    Timeout = 2,
    Reject = 3,
    NotFound = 4,
    Shutdown = 5,
};

/// Kind of an event delivered through IRTCEventSink::Event.
enum class EventType : std::int32_t {
    Client = 0,
    RegistrationStateChange = 1,
    SessionStateChange = 2,
    Media = 5,
};

/// Bits of IRTCClient::put_EventFilter, one per event kind.
namespace event_filter {
inline constexpr std::int32_t Client = 1;
inline constexpr std::int32_t RegistrationStateChange = 2;
inline constexpr std::int32_t SessionStateChange = 4;
inline constexpr std::int32_t Media = 32;
}  // namespace event_filter

/// IRTCClientEvent::EventType.
enum class ClientEventType : std::int32_t {
    VolumeChange = 0,
    DeviceChange = 1,
    NetworkQualityChange = 2,
    AsyncCleanupDone = 3,
    /// The machine lost its network: registration and calls wait for it.
    NetworkUnavailable = 4,
    /// The network is back (or another one came): the client registers again
    /// at once and repairs a call in progress.
    NetworkAvailable = 5,
};

/// Media kinds; also the bits of a preferred-media mask.
namespace media {
inline constexpr std::int32_t AudioSend = 1;
inline constexpr std::int32_t AudioReceive = 2;
inline constexpr std::int32_t VideoSend = 4;
inline constexpr std::int32_t VideoReceive = 8;
}  // namespace media

/// IRTCMediaEvent::EventType.
enum class MediaEventType : std::int32_t {
    Stopped = 0,
    Started = 1,
    Failed = 2,
};

/// IRTCClient::put_ListenForIncomingSessions.
enum class ListenMode : std::int32_t {
    None = 0,
    Dynamic = 1,   // a dynamic port only
    Both = 2,      // the standard SIP port and a dynamic port
};

/// IRTCClient::CreateSession.
enum class SessionType : std::int32_t {
    PcToPc = 0,
    PcToPhone = 1,
    PhoneToPhone = 2,
    InstantMessaging = 3,
};

/// IRTCClient::PlayRing.
enum class RingType : std::int32_t {
    Phone = 0,
    Message = 1,
    Ringback = 2,
};

/// IRTCClientProvisioning::EnableProfile: register for every session kind.
inline constexpr std::int32_t kRegisterAllSessionKinds = 7;

/// IVideoWindow::put_WindowStyle: a child window clipping its siblings.
inline constexpr std::int32_t kChildClipSiblingsStyle = 0x44000000;

/// A native window handle (an X11 window id on this platform, 0 for none).
using WindowHandle = std::intptr_t;

}  // namespace pelex::sip_engine::rtc
