#include "sip_engine/linphone/stack_pulse_card.h"

#include <linphone/core.h>
#include <mediastreamer2/msfactory.h>
#include <mediastreamer2/mssndcard.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sip_engine/linphone/stack_pulse_link.h"
#include "sip_engine/linphone/stack_pulse_streams.h"

namespace pelex::sip_engine::linphone_rtc {
namespace {

using namespace std::chrono_literals;

// The stack's name for the sound server's devices, kept so that device ids
// ("PulseAudio: <description>") stay what they were.
constexpr const char* kDriver = "PulseAudio";
constexpr auto kListWithin = 2000ms;

// What a card stands for on the server: a speaker, a microphone, or both
// when the server describes a speaker and a microphone alike (one card then,
// as the stack has always shown them).
struct Device {
    std::string description, sink, source;
};

struct CardData {
    std::string sink, source;
};

CardData& dataOf(MSSndCard* card) { return *static_cast<CardData*>(card->data); }

// Sinks, then the sources that are no sink's monitor, from one short-lived
// connection.
std::vector<Device> listDevices() {
    std::vector<Device> devices;
    auto link = StackPulseLink::connect(kListWithin);
    if (!link) return devices;
    struct Listing {
        StackPulseLink* link;
        std::vector<Device>* devices;
        int pending = 2;
    } listing{link.get(), &devices};
    StackPulseLink::Lock lock(*link);
    pa_operation* sinks = pa_context_get_sink_info_list(
        link->context(),
        [](pa_context*, const pa_sink_info* info, int eol, void* user) {
            auto* l = static_cast<Listing*>(user);
            if (eol != 0) {
                --l->pending;
                l->link->wake();
            } else if (info != nullptr) {
                l->devices->push_back({info->description, info->name, {}});
            }
        },
        &listing);
    // Sources come after every sink (one connection answers in order).
    pa_operation* sources = pa_context_get_source_info_list(
        link->context(),
        [](pa_context*, const pa_source_info* info, int eol, void* user) {
            auto* l = static_cast<Listing*>(user);
            if (eol != 0) {
                --l->pending;
                l->link->wake();
                return;
            }
            if (info == nullptr || info->monitor_of_sink != PA_INVALID_INDEX) return;
            for (auto& d : *l->devices)
                if (!d.sink.empty() && d.source.empty() && d.description == info->description) {
                    d.source = info->name;
                    return;
                }
            l->devices->push_back({info->description, {}, info->name});
        },
        &listing);
    listing.pending -= (sinks == nullptr) + (sources == nullptr);
    const bool listed = link->waitUntil([&] { return listing.pending <= 0; }, kListWithin);
    for (pa_operation* op : {sinks, sources}) {
        if (op == nullptr) continue;
        if (!listed) pa_operation_cancel(op);
        pa_operation_unref(op);
    }
    if (!listed) devices.clear();
    return devices;
}

MSSndCardDesc* cardDesc();

void detect(MSSndCardManager* manager) {
    for (const auto& d : listDevices()) {
        MSSndCard* card = ms_snd_card_new(cardDesc());
        if (card == nullptr) continue;
        card->name = ms_strdup(d.description.c_str());
        auto& data = dataOf(card);
        data.sink = d.sink;
        data.source = d.source;
        card->capabilities = (d.sink.empty() ? 0 : MS_SND_CARD_CAP_PLAYBACK) |
                             (d.source.empty() ? 0 : MS_SND_CARD_CAP_CAPTURE);
        ms_snd_card_manager_add_card(manager, card);
    }
}

MSFilter* createFilter(MSSndCard* card, MSFilterDesc* desc, const std::string& device) {
    MSFilter* filter = ms_factory_create_filter_from_desc(ms_snd_card_get_factory(card), desc);
    if (filter != nullptr) setStackPulseDevice(filter, device);
    return filter;
}

MSSndCardDesc* cardDesc() {
    static MSSndCardDesc desc = [] {
        MSSndCardDesc d{};
        d.driver_type = kDriver;
        d.detect = detect;
        d.init = [](MSSndCard* card) { card->data = new CardData(); };
        d.uninit = [](MSSndCard* card) { delete &dataOf(card); };
        d.create_reader = [](MSSndCard* card) {
            return createFilter(card, stackPulseCaptureDesc(), dataOf(card).source);
        };
        d.create_writer = [](MSSndCard* card) {
            return createFilter(card, stackPulsePlaybackDesc(), dataOf(card).sink);
        };
        return d;
    }();
    return &desc;
}

}  // namespace

void installStackPulseCard(LinphoneCore* core) {
    MSSndCardManager* manager = ms_factory_get_snd_card_manager(linphone_core_get_ms_factory(core));
    if (manager == nullptr) return;
    MSSndCardDesc* ours = cardDesc();
    std::vector<MSSndCardDesc*> theirs;
    for (bctbx_list_t* it = manager->descs; it != nullptr; it = it->next) {
        auto* desc = static_cast<MSSndCardDesc*>(it->data);
        if (desc != ours && desc->driver_type != nullptr && std::strcmp(desc->driver_type, kDriver) == 0)
            theirs.push_back(desc);
    }
    if (theirs.empty() && bctbx_list_find(manager->descs, ours) != nullptr) return;
    // The stack's cards go with their module, before its connection closes.
    for (MSSndCardDesc* desc : theirs) {
        ms_snd_card_manager_unregister_desc(manager, desc);
        bctbx_list_t* kept = nullptr;
        for (bctbx_list_t* it = manager->cards; it != nullptr; it = it->next) {
            auto* card = static_cast<MSSndCard*>(it->data);
            if (card->desc == desc) ms_snd_card_unref(card);
            else kept = bctbx_list_append(kept, card);
        }
        bctbx_list_free(manager->cards);
        manager->cards = kept;
        if (desc->unload != nullptr) desc->unload(manager);
    }
    ms_snd_card_manager_register_desc(manager, ours);
    linphone_core_reload_sound_devices(core);
}

}  // namespace pelex::sip_engine::linphone_rtc
