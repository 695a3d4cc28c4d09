#pragma once
// Reads the server's defaults, sinks, sources and cards into a ServerState,
// on the loop's thread: four requests whose answers make one picture.

#include <functional>
#include <map>
#include <string>

#include "sound/server_state.h"

struct pa_card_info;
struct pa_context;
struct pa_server_info;
struct pa_sink_info;
struct pa_source_info;

namespace pelex::sound {

class DeviceCensus {
public:
    /// `done` receives each complete picture (running and answering set).
    explicit DeviceCensus(std::function<void(ServerState)> done) : done_(std::move(done)) {}

    /// Asks the server (loop's thread). A census under way is followed by
    /// one more, so a change that came during it is not missed.
    void take(pa_context& context);
    /// The context is gone: the answers under way never come.
    void forget() {
        pending_ = 0;
        again_ = false;
    }
    bool underWay() const { return pending_ > 0; }

private:
    struct Source {
        std::string description;
        bool monitor = false;
    };
    void finishOne(pa_context& context);
    static void onServer(pa_context*, const pa_server_info* info, void* self);
    static void onSink(pa_context*, const pa_sink_info* info, int eol, void* self);
    static void onSource(pa_context*, const pa_source_info* info, int eol, void* self);
    static void onCard(pa_context*, const pa_card_info* info, int eol, void* self);

    std::function<void(ServerState)> done_;
    int pending_ = 0;
    bool again_ = false;
    bool failed_ = false;
    ServerState draft_;
    std::string defaultSink_, defaultSource_;
    std::map<std::string, Source> sources_;
};

}  // namespace pelex::sound
