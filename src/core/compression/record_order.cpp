#include "compression/record_order.hpp"

#include <algorithm>
#include <cstddef>
#include <utility>

#include "common/interruption.hpp"
#include "common/string_map.hpp"

namespace callfold::compression {

std::vector<std::uint32_t> contig_ranks(const VcfRecords& records, const std::vector<std::string>& declared) {
    StringMap<std::uint32_t> declared_rank;
    for (const std::string& id : declared)
        declared_rank.emplace(id, static_cast<std::uint32_t>(declared_rank.size()));  // first declaration wins
    auto next_rank = static_cast<std::uint32_t>(declared_rank.size());
    std::vector<std::uint32_t> ranks(records.contigs.size());
    for (std::size_t i = 0; i < records.contigs.size(); ++i) {
        const auto found = declared_rank.find(records.contigs[i]);
        ranks[i] = found != declared_rank.end() ? found->second : next_rank++;
    }
    return ranks;
}

std::vector<std::uint32_t> sorted_record_order(const VcfRecords& records, const std::vector<std::uint32_t>& rank_of_contig) {
    const std::size_t count = records.size();
    std::uint32_t rank_count = 0;
    for (const std::uint32_t rank : rank_of_contig) rank_count = std::max(rank_count, rank + 1);

    // Stable counting sort by contig rank...
    std::vector<std::size_t> bucket_start(static_cast<std::size_t>(rank_count) + 1, 0);
    for (std::size_t i = 0; i < count; ++i) ++bucket_start[rank_of_contig[records.contig[i]] + 1];
    for (std::size_t r = 0; r < rank_count; ++r) bucket_start[r + 1] += bucket_start[r];
    std::vector<std::uint32_t> order(count);
    {
        std::vector<std::size_t> fill(bucket_start.begin(), bucket_start.end() - 1);
        for (std::size_t i = 0; i < count; ++i)
            order[fill[rank_of_contig[records.contig[i]]]++] = static_cast<std::uint32_t>(i);
    }

    // ...then by POS within each contig, where it is not in order already.
    std::vector<std::pair<std::int64_t, std::uint32_t>> keyed;
    for (std::size_t r = 0; r < rank_count; ++r) {
        poll_interrupt();
        const auto first = order.begin() + static_cast<std::ptrdiff_t>(bucket_start[r]);
        const auto last = order.begin() + static_cast<std::ptrdiff_t>(bucket_start[r + 1]);
        const bool in_order = std::is_sorted(
            first, last, [&](std::uint32_t a, std::uint32_t b) { return records.pos[a] < records.pos[b]; });
        if (in_order) continue;
        keyed.clear();
        for (auto it = first; it != last; ++it) keyed.emplace_back(records.pos[*it], *it);
        std::sort(keyed.begin(), keyed.end());  // index breaks ties: input order
        auto out = first;
        for (const auto& entry : keyed) *out++ = entry.second;
    }
    return order;
}

}  // namespace callfold::compression
