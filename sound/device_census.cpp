#include "sound/device_census.h"

#include <pulse/pulseaudio.h>

namespace pelex::sound {

void DeviceCensus::take(pa_context& context) {
    if (pending_ > 0) {
        again_ = true;
        return;
    }
    draft_ = {};
    sources_.clear();
    defaultSink_.clear();
    defaultSource_.clear();
    failed_ = false;
    // Our references to the requests go at once; their answers still come.
    auto ask = [&](pa_operation* op) {
        if (!op) {
            failed_ = true;
            return;
        }
        ++pending_;
        pa_operation_unref(op);
    };
    ask(pa_context_get_server_info(&context, onServer, this));
    ask(pa_context_get_sink_info_list(&context, onSink, this));
    ask(pa_context_get_source_info_list(&context, onSource, this));
    ask(pa_context_get_card_info_list(&context, onCard, this));
    if (pending_ == 0) forget();
}

void DeviceCensus::finishOne(pa_context& context) {
    if (pending_ == 0 || --pending_ > 0) return;
    if (again_) {
        again_ = false;
        take(context);
        return;
    }
    if (failed_) return;  // a request went unanswered: the last picture stands
    for (const auto& d : draft_.speakers)
        if (d.name == defaultSink_) draft_.defaultSpeaker = d.description;
    if (const auto it = sources_.find(defaultSource_); it != sources_.end() && !it->second.monitor)
        draft_.defaultMicrophone = it->second.description;
    draft_.known = true;
    draft_.running = true;
    draft_.answering = true;
    done_(draft_);
}

void DeviceCensus::onServer(pa_context* context, const pa_server_info* info, void* self) {
    auto& census = *static_cast<DeviceCensus*>(self);
    if (!info) census.failed_ = true;
    else {
        if (info->default_sink_name) census.defaultSink_ = info->default_sink_name;
        if (info->default_source_name) census.defaultSource_ = info->default_source_name;
    }
    census.finishOne(*context);
}

void DeviceCensus::onSink(pa_context* context, const pa_sink_info* info, int eol, void* self) {
    auto& census = *static_cast<DeviceCensus*>(self);
    if (eol < 0) census.failed_ = true;
    if (eol != 0) return census.finishOne(*context);
    census.draft_.speakers.push_back({info->name ? info->name : "", info->description ? info->description : ""});
}

void DeviceCensus::onSource(pa_context* context, const pa_source_info* info, int eol, void* self) {
    auto& census = *static_cast<DeviceCensus*>(self);
    if (eol < 0) census.failed_ = true;
    if (eol != 0) return census.finishOne(*context);
    Device device{info->name ? info->name : "", info->description ? info->description : ""};
    const bool monitor = info->monitor_of_sink != PA_INVALID_INDEX;
    census.sources_[device.name] = {device.description, monitor};
    if (!monitor) census.draft_.microphones.push_back(std::move(device));
}

void DeviceCensus::onCard(pa_context* context, const pa_card_info* info, int eol, void* self) {
    auto& census = *static_cast<DeviceCensus*>(self);
    if (eol < 0) census.failed_ = true;
    if (eol != 0) return census.finishOne(*context);
    if (info->name) census.draft_.cards.emplace_back(info->name);
}

}  // namespace pelex::sound
