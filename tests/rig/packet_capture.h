#pragma once
// A tshark capture of the loopback interface, for checking what went on the
// wire (RTP in both directions, telephone events). Ends with the object.

#include <string>
#include <vector>

namespace pelex::testing {

struct CapturedRtp {
    int sourcePort = 0;
    int destinationPort = 0;
    int payloadType = -1;
    int telephoneEvent = -1;  ///< RFC 4733 event code, -1 for a voice packet
};

/// Voice packets (no telephone events) among `packets` sent to a port from
/// `firstPort` to `lastPort`: about 50 a second from a talking phone, 20 ms each.
inline int voicePacketsTo(const std::vector<CapturedRtp>& packets, int firstPort, int lastPort) {
    int n = 0;
    for (const auto& p : packets)
        if (p.telephoneEvent < 0 && p.payloadType < 96 && p.destinationPort >= firstPort && p.destinationPort <= lastPort)
            ++n;
    return n;
}

class PacketCapture {
public:
    /// Starts capturing UDP on lo into `file`; returns once tshark captures.
    /// Throws std::runtime_error when tshark does not start in 10 s.
    explicit PacketCapture(std::string file);
    ~PacketCapture();
    PacketCapture(const PacketCapture&) = delete;
    PacketCapture& operator=(const PacketCapture&) = delete;

    /// Stops the capture and decodes every RTP packet (telephone events with
    /// payload type `eventPayloadType`).
    std::vector<CapturedRtp> stopAndDecode(int eventPayloadType = 101);

private:
    void stop();
    std::string file_;
    int pid_ = -1;
};

}  // namespace pelex::testing
