#include "sip_engine/linphone/sound_server.h"

#include <pulse/pulseaudio.h>

#include <memory>
#include <vector>

namespace pelex::sip_engine::linphone_rtc {
namespace {

struct MainloopDeleter {
    void operator()(pa_mainloop* m) const { pa_mainloop_free(m); }
};
struct ContextDeleter {
    void operator()(pa_context* c) const { pa_context_unref(c); }
};

/// Lets the loop run what is due without waiting (libpulse finishes tearing
/// a connection down, and frees the timers of unanswered requests, there).
void settle(pa_mainloop* loop) {
    for (int i = 0; i < 20 && pa_mainloop_iterate(loop, 0, nullptr) > 0; ++i) {
    }
}

/// One query: server info, then the default sink's and source's details.
struct Query {
    pa_mainloop* loop = nullptr;
    SoundServerInfo info;
    int pending = 0;  // answers still awaited once the server info arrived
    bool failed = false;
    bool done = false;  // answered, failed or out of time

    void finishOne() {
        if (--pending <= 0) done = true;
    }
    static void track(Query& q, pa_operation* op) {
        if (op) {
            ++q.pending;
            q.operations.push_back(op);
        }
    }
    /// Cancels what is still unanswered and lets go of every request.
    void release() {
        for (pa_operation* op : operations) {
            if (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_operation_cancel(op);
            pa_operation_unref(op);
        }
        operations.clear();
    }
    std::vector<pa_operation*> operations;  // our references to the requests
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
            if (op) q.operations.push_back(op);
            else q.done = true;
            break;
        }
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            q.failed = true;
            q.done = true;
            break;
        default: break;
    }
}

void onDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
    auto& q = *static_cast<Query*>(data);
    q.done = true;
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
    while (!query.done && pa_mainloop_iterate(loop.get(), 1, nullptr) >= 0) {
    }
    api->time_free(timer);
    query.release();
    pa_context_set_state_callback(context.get(), nullptr, nullptr);
    pa_context_disconnect(context.get());
    settle(loop.get());
    context.reset();
    settle(loop.get());
    return query.failed ? SoundServerInfo{} : query.info;
}

}  // namespace pelex::sip_engine::linphone_rtc
