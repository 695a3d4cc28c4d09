#include "sip_engine/linphone/network_settings.h"

namespace pelex::sip_engine::linphone_rtc {

void applyNetworkSettings(linphone::Config& config, bool networkWatched) {
    // Behind a router. A home router forgets an idle UDP mapping after 30 to
    // 180 s; once forgotten, the server's requests (an incoming call) stop at
    // the router. Nothing else crosses the SIP flow of an idle phone (its
    // registration lasts an hour), so belle-sip's keep-alive, a CRLF sent on
    // each SIP connection every keepalive_period ms, must come more often than
    // the shortest mapping lasts. The stack's 30 s equals that shortest
    // lifetime; 20 s leaves room for a late turn of the stack.
    config.setInt("sip", "keepalive_period", kKeepAliveMs);
    // Via's rport asks the server to answer to the address and port the
    // request came from (the router's mapping) and to say which those were.
    config.setInt("sip", "use_rport", 1);
    // belle-sip's NAT helper puts that address into the Contact: a
    // registration whose 200 names another address than the Contact sent is
    // sent again at once with the address the server saw, so the server's
    // requests go to the router's mapping even when the server fixes nothing
    // itself. Calls take the Contact of the registration.
    config.setInt("net", "enable_nat_helper", 1);
    // oRTP sends RTP from the socket it receives on (one socket per stream),
    // so the router maps the phone's outgoing packets to the port the far
    // end answers to. With symmetric RTP the phone also answers to where the
    // far end's packets come from rather than to the address in its SDP: a
    // far end behind a router of its own, or a media relay that sends from
    // another port than it announced, is still heard and reached.
    config.setInt("rtp", "symmetric", 1);

    // Network changes. The stack by itself looks every 5 s at the local
    // address of its default route and acts only when that address changed;
    // NetworkFollower tells it by the kernel's events instead, so its own
    // look is off (it would act a second time on the same change) unless
    // the events cannot be had.
    config.setInt("sip", "auto_net_state_mon", networkWatched ? 0 : 1);
    // Without a network, no attempts (each would fail and start a retry
    // pause); once back, registrations go at once.
    config.setInt("sip", "register_only_when_network_is_up", 1);
    // A call marked broken when the network went is repaired by a re-INVITE
    // from the new address once registered again.
    config.setInt("sip", "repair_broken_calls", 1);
    // A call that hears nothing for 30 s is over (the network did not come
    // back, or the far end is gone); the user is told why.
    config.setInt("rtp", "nortp_timeout", 30);

    // Lost and late packets. The jitter buffer adapts to the network's
    // jitter from the 40 ms it starts with, but no further than
    // kJitterBufferMaxMs: a late packet beyond that is concealed as lost
    // rather than making every word later. Loss concealment comes with the
    // audio stream's default features (codecs without their own, such as
    // G.711, get mediastreamer2's generic concealment).
    config.setInt("rtp", "audio_adaptive_jitt_comp_enabled", 1);
    config.setInt("rtp", "jitter_buffer_min_size", 40);
    config.setInt("rtp", "jitter_buffer_max_size", kJitterBufferMaxMs);
}

}  // namespace pelex::sip_engine::linphone_rtc
