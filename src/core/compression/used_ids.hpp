// The IDs of one kind of declaration (INFO, FORMAT, FILTER or ALT) seen in the
// records: those the header declares, and those it lacks in order of first use,
// each with the evidence of its values.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/string_map.hpp"
#include "compression/value_evidence.hpp"

namespace callfold::compression {

class UsedIds {
public:
    static constexpr std::size_t declared_index = static_cast<std::size_t>(-1);

    explicit UsedIds(bool remember_recent = true) : remember_recent_(remember_recent) {}

    // An ID the header declares: its uses are not recorded.
    void declare(std::string_view id) { index_.emplace(std::string(id), declared_index); }

    // Index of the evidence for `id` (added on its first use), or declared_index.
    std::size_t use_index(std::string_view id);

    // Evidence to update for `id`, or null when the header declares it. The
    // pointer is valid until the next call.
    ValueEvidence* use(std::string_view id) {
        const std::size_t index = use_index(id);
        return index == declared_index ? nullptr : &used_[index].second;
    }

    ValueEvidence& evidence(std::size_t index) { return used_[index].second; }
    const std::vector<std::pair<std::string, ValueEvidence>>& used() const { return used_; }

    // Adds what `later` (the same declarations, over records that follow these) found.
    void merge(const UsedIds& later);

private:
    StringMap<std::size_t> index_;  // every ID seen or declared
    std::vector<std::pair<std::string, ValueEvidence>> used_;
    struct Recent {
        std::string_view id;  // a key of index_, whose nodes stay put
        std::size_t index;
    };
    bool remember_recent_;
    std::array<Recent, 12> recent_{};
    std::size_t next_recent_ = 0;
};

}  // namespace callfold::compression
