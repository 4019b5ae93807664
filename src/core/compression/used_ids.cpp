#include "compression/used_ids.hpp"

namespace callfold::compression {

std::size_t UsedIds::use_index(std::string_view id) {
    // Records repeat a handful of keys over and over: a short list of the
    // latest ones looked up spares most of the hashing.
    if (remember_recent_)
        for (const Recent& recent : recent_)
            if (recent.id == id && recent.id.data() != nullptr) return recent.index;
    auto found = index_.find(id);
    if (found == index_.end()) {
        found = index_.emplace(std::string(id), used_.size()).first;
        used_.emplace_back(std::string(id), ValueEvidence{});
    }
    if (remember_recent_) recent_[next_recent_++ % recent_.size()] = Recent{found->first, found->second};
    return found->second;
}

void UsedIds::merge(const UsedIds& later) {
    for (const auto& [id, evidence] : later.used_) {
        const std::size_t index = use_index(id);
        if (index != declared_index) used_[index].second.combine(evidence);
    }
}

}  // namespace callfold::compression
