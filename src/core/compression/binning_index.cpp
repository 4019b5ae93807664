#include "compression/binning_index.hpp"

#include <algorithm>
#include <stdexcept>

namespace callfold::compression {
namespace {

// Chunks of a bin whose data spans less than this many compressed bytes are
// folded into the parent bin: reading them through the parent costs no more.
constexpr std::uint64_t min_marker_distance = 0x10000;

// The first bin number of `level` (0 is the root).
std::uint32_t first_bin(int level) { return static_cast<std::uint32_t>(((std::uint64_t{1} << (3 * level)) - 1) / 7); }

std::uint32_t parent_of(std::uint32_t bin) { return (bin - 1) >> 3; }

int level_of(std::uint32_t bin) {
    int level = 0;
    for (; bin != 0; bin = parent_of(bin)) ++level;
    return level;
}

std::uint64_t block_of(std::uint64_t virtual_offset) { return virtual_offset >> 16; }

void append_le(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}
void append_u32(std::string& out, std::uint64_t value) { append_le(out, value, 4); }
void append_u64(std::string& out, std::uint64_t value) { append_le(out, value, 8); }

}  // namespace

BinningIndex::BinningIndex(int min_shift, int depth) : min_shift_(min_shift), depth_(depth) {}

std::uint32_t BinningIndex::bin_of(IndexSpan span) const {
    // The smallest bin holding all of [beg, end).
    const std::int64_t last = span.end - 1;
    int shift = min_shift_;
    for (int level = depth_; level > 0; --level, shift += 3)
        if (span.beg >> shift == last >> shift) return first_bin(level) + static_cast<std::uint32_t>(span.beg >> shift);
    return 0;
}

std::int64_t BinningIndex::first_window_of(std::uint32_t bin) const {
    const int level = level_of(bin);
    return static_cast<std::int64_t>(bin - first_bin(level)) << (3 * (depth_ - level));
}

void BinningIndex::add(std::uint32_t reference, IndexSpan span, std::uint64_t start, std::uint64_t stop) {
    if (finished_ || span.beg < 0 || span.end <= span.beg || span.end > max_end(min_shift_, depth_))
        throw std::logic_error("record outside the index");
    if (references_.empty() || reference != references_.size() - 1) {
        if (reference != references_.size()) throw std::logic_error("references out of order");
        file_pending();
        references_.emplace_back().first = start;
    }
    Reference& current = references_.back();
    if (span.beg < current.last_beg) throw std::logic_error("records out of order");
    current.last_beg = span.beg;
    current.last = stop;
    ++current.records;

    // Records of one bin that follow each other share a chunk.
    const std::uint32_t bin = bin_of(span);
    if (!pending_.empty() && pending_.back().bin == bin)
        pending_.back().chunk.end = stop;
    else
        pending_.push_back({bin, {start, stop}});

    const std::int64_t reach = current.windows.empty() ? 0 : current.windows.back().last + 1;
    const std::int64_t first = std::max(span.beg >> min_shift_, reach);
    const std::int64_t last = (span.end - 1) >> min_shift_;
    if (first <= last) current.windows.push_back({first, last, start});
}

void BinningIndex::file_pending() {
    if (pending_.empty()) return;
    auto& bins = references_.back().bins;
    for (const BinnedChunk& entry : pending_) bins[entry.bin].chunks.push_back(entry.chunk);
    pending_.clear();
}

void BinningIndex::finish(const std::function<std::uint64_t(std::uint64_t)>& virtual_offset) {
    if (finished_) return;
    file_pending();
    for (Reference& reference : references_) {
        reference.first = virtual_offset(reference.first);
        reference.last = virtual_offset(reference.last);
        for (WindowRun& run : reference.windows) run.offset = virtual_offset(run.offset);
        for (auto& entry : reference.bins)
            for (Chunk& chunk : entry.second.chunks) chunk = {virtual_offset(chunk.begin), virtual_offset(chunk.end)};
    }
    for (Reference& reference : references_) {
        merge_small_bins(reference);
        for (auto& [number, bin] : reference.bins) {
            // The linear-index offset of the bin's first window: the run holding
            // it, or for a window no record reaches, the next run (an empty
            // window takes the offset of the next one reached); past them all, 0.
            const std::int64_t window = first_window_of(number);
            const auto run = std::lower_bound(reference.windows.begin(), reference.windows.end(), window,
                                              [](const WindowRun& r, std::int64_t w) { return r.last < w; });
            bin.loff = run == reference.windows.end() ? 0 : run->offset;
        }
    }
    finished_ = true;
}

void BinningIndex::merge_small_bins(Reference& reference) const {
    std::vector<std::uint32_t> numbers;
    numbers.reserve(reference.bins.size());
    for (const auto& entry : reference.bins) numbers.push_back(entry.first);
    // Deepest bins first: a bin has received all its children's chunks before it is looked at.
    std::sort(numbers.begin(), numbers.end(), std::greater<>());
    // A bin's own chunks come in file order; each child's sorted chunks are
    // merged in, so every list stays ordered by where its chunks begin.
    const auto by_begin = [](const Chunk& a, const Chunk& b) { return a.begin < b.begin; };
    for (const std::uint32_t number : numbers) {
        if (number == 0) continue;
        auto found = reference.bins.find(number);
        const std::vector<Chunk>& chunks = found->second.chunks;
        if (block_of(chunks.back().end) - block_of(chunks.front().begin) >= min_marker_distance) continue;
        const auto parent = reference.bins.find(parent_of(number));
        if (parent == reference.bins.end()) continue;
        std::vector<Chunk>& into = parent->second.chunks;
        const std::ptrdiff_t own = static_cast<std::ptrdiff_t>(into.size());
        into.insert(into.end(), chunks.begin(), chunks.end());
        std::inplace_merge(into.begin(), into.begin() + own, into.end(), by_begin);
        reference.bins.erase(found);
    }
    // Chunks that meet or overlap in one BGZF block are read together anyway.
    for (auto& entry : reference.bins) {
        std::vector<Chunk>& chunks = entry.second.chunks;
        std::size_t kept = 0;
        for (std::size_t i = 1; i < chunks.size(); ++i) {
            if (block_of(chunks[kept].end) >= block_of(chunks[i].begin))
                chunks[kept].end = std::max(chunks[kept].end, chunks[i].end);
            else
                chunks[++kept] = chunks[i];
        }
        chunks.resize(kept + 1);
    }
}

void BinningIndex::append_references(std::string& out, bool csi) const {
    // The bin after the hierarchy's last holds each reference's extent and record count.
    const std::uint32_t summary_bin = first_bin(depth_ + 1) + 1;
    for (const Reference& reference : references_) {
        std::vector<std::uint32_t> numbers;
        numbers.reserve(reference.bins.size());
        for (const auto& entry : reference.bins) numbers.push_back(entry.first);
        std::sort(numbers.begin(), numbers.end());

        append_u32(out, numbers.size() + 1);
        for (const std::uint32_t number : numbers) {
            const Bin& bin = reference.bins.at(number);
            append_u32(out, number);
            if (csi) append_u64(out, bin.loff);
            append_u32(out, bin.chunks.size());
            for (const Chunk& chunk : bin.chunks) {
                append_u64(out, chunk.begin);
                append_u64(out, chunk.end);
            }
        }
        append_u32(out, summary_bin);
        if (csi) append_u64(out, 0);
        append_u32(out, 2);
        append_u64(out, reference.first);
        append_u64(out, reference.last);
        append_u64(out, reference.records);
        append_u64(out, 0);  // records without a position: none in a VCF

        if (!csi) {
            // Every window up to the last one reached, an empty one taking the next one's offset.
            const std::int64_t windows = reference.windows.empty() ? 0 : reference.windows.back().last + 1;
            append_u32(out, static_cast<std::uint64_t>(windows));
            std::int64_t window = 0;
            for (const WindowRun& run : reference.windows)
                for (; window <= run.last; ++window) append_u64(out, run.offset);
        }
    }
    append_u64(out, 0);  // unplaced records: none
}

std::string BinningIndex::tbi(std::string_view tabix_meta) const {
    if (!finished_ || min_shift_ != 14 || depth_ != 5) throw std::logic_error("not a TBI layout");
    std::string out = "TBI\1";
    append_u32(out, references_.size());
    out.append(tabix_meta);
    append_references(out, false);
    return out;
}

std::string BinningIndex::csi(std::string_view tabix_meta) const {
    if (!finished_) throw std::logic_error("index not finished");
    std::string out = "CSI\1";
    append_u32(out, static_cast<std::uint64_t>(min_shift_));
    append_u32(out, static_cast<std::uint64_t>(depth_));
    append_u32(out, tabix_meta.size());
    out.append(tabix_meta);
    append_u32(out, references_.size());
    append_references(out, true);
    return out;
}

}  // namespace callfold::compression
