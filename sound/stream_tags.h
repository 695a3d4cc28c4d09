#pragma once
// StreamTags as libpulse's property list (internal to sound/).

#include <pulse/proplist.h>

#include <memory>

#include "sound/alert_player.h"

namespace pelex::sound {

struct ProplistDeleter {
    void operator()(pa_proplist* p) const { pa_proplist_free(p); }
};
using Proplist = std::unique_ptr<pa_proplist, ProplistDeleter>;

/// The properties `tags` stand for (the empty ones left out).
inline Proplist proplistOf(const StreamTags& tags) {
    Proplist p(pa_proplist_new());
    if (!tags.role.empty()) pa_proplist_sets(p.get(), PA_PROP_MEDIA_ROLE, tags.role.c_str());
    if (!tags.name.empty()) pa_proplist_sets(p.get(), PA_PROP_MEDIA_NAME, tags.name.c_str());
    if (!tags.eventId.empty()) pa_proplist_sets(p.get(), PA_PROP_EVENT_ID, tags.eventId.c_str());
    return p;
}

}  // namespace pelex::sound
