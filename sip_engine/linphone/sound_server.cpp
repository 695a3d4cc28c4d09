#include "sip_engine/linphone/sound_server.h"

#include <pulse/pulseaudio.h>

#include <memory>

namespace pelex::sip_engine::linphone_rtc {
namespace {

struct MainloopDeleter {
    void operator()(pa_mainloop* m) const { pa_mainloop_free(m); }
};
struct ContextDeleter {
    void operator()(pa_context* c) const {
        pa_context_disconnect(c);
        pa_context_unref(c);
    }
};

/// One query: server info, then the default sink's and source's details.
struct Query {
    pa_mainloop* loop = nullptr;
    SoundServerInfo info;
    int pending = 0;  // answers still awaited once the server info arrived
    bool failed = false;

    void finishOne() {
        if (--pending <= 0) pa_mainloop_quit(loop, 0);
    }
    static void track(Query& q, pa_operation* op) {
        if (op) {
            ++q.pending;
            pa_operation_unref(op);
        }
    }
};

void onSink(pa_context*, const pa_sink_info* sink, int eol, void* data) {
    auto& q = *static_cast<Query*>(data);
    if (eol != 0) return q.finishOne();
    if (sink && sink->description) q.info.defaultSpeaker = sink->description;
}

void onSource(pa_context*, const pa_source_info* source, int eol, void* data) {
    auto& q = *static_cast<Query*>(data);
    if (eol != 0) return q.finishOne();
    if (source && source->description && source->monitor_of_sink == PA_INVALID_INDEX)
        q.info.defaultMicrophone = source->description;
}

void onServer(pa_context* context, const pa_server_info* server, void* data) {
    auto& q = *static_cast<Query*>(data);
    q.info.running = true;
    q.pending = 1;  // this answer itself
    if (server && server->default_sink_name)
        Query::track(q, pa_context_get_sink_info_by_name(context, server->default_sink_name, onSink, &q));
    if (server && server->default_source_name)
        Query::track(q, pa_context_get_source_info_by_name(context, server->default_source_name, onSource, &q));
    q.finishOne();
}

void onState(pa_context* context, void* data) {
    auto& q = *static_cast<Query*>(data);
    switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY: {
            pa_operation* op = pa_context_get_server_info(context, onServer, &q);
            if (op) pa_operation_unref(op);
            else pa_mainloop_quit(q.loop, 0);
            break;
        }
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            q.failed = true;
            pa_mainloop_quit(q.loop, 0);
            break;
        default: break;
    }
}

void onDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
    auto& q = *static_cast<Query*>(data);
    pa_mainloop_quit(q.loop, 0);
}

}  // namespace

SoundServerInfo querySoundServer(std::chrono::milliseconds limit) {
    std::unique_ptr<pa_mainloop, MainloopDeleter> loop(pa_mainloop_new());
    if (!loop) return {};
    pa_mainloop_api* api = pa_mainloop_get_api(loop.get());
    Query query;
    query.loop = loop.get();
    std::unique_ptr<pa_context, ContextDeleter> context(pa_context_new(api, "Pelex phone"));
    if (!context) return {};
    pa_context_set_state_callback(context.get(), onState, &query);
    if (pa_context_connect(context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        pa_context_set_state_callback(context.get(), nullptr, nullptr);
        return {};
    }
    struct timeval deadline;
    pa_timeval_add(pa_gettimeofday(&deadline), static_cast<pa_usec_t>(limit.count()) * 1000);
    pa_time_event* timer = api->time_new(api, &deadline, onDeadline, &query);
    int ignored = 0;
    pa_mainloop_run(loop.get(), &ignored);
    api->time_free(timer);
    pa_context_set_state_callback(context.get(), nullptr, nullptr);
    context.reset();
    return query.failed ? SoundServerInfo{} : query.info;
}

}  // namespace pelex::sip_engine::linphone_rtc
