#include "compression/sorted_runs.hpp"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "common/deflate.hpp"
#include "common/errors.hpp"
#include "common/host_context.hpp"

namespace callfold::compression {
namespace {

// Fast compression: the runs are read back once, soon.
constexpr int run_level = 1;
constexpr std::size_t prefetch_distance = 16;

void put_u32(std::string& out, std::uint32_t value) { out.append(reinterpret_cast<const char*>(&value), 4); }
void put_i64(std::string& out, std::int64_t value) { out.append(reinterpret_cast<const char*>(&value), 8); }

template <class T>
T get(const char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

FileDescriptor unnamed_file(const std::string& directory) {
    try {
        return open_file(directory, O_TMPFILE | O_RDWR, 0600);
    } catch (const SystemCallFailed& error) {
        // File systems without unnamed files: a named one, unlinked at once.
        if (error.err != EOPNOTSUPP && error.err != EISDIR && error.err != EINVAL) throw;
    }
    std::string name = directory + "/.callfold-sort-XXXXXX";
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) throw SystemCallFailed(errno, directory);
    FileDescriptor file(fd);
    if (::unlink(name.c_str()) != 0) throw SystemCallFailed(errno, name);
    return file;
}

void read_at(int fd, char* out, std::size_t size, std::uint64_t offset, const std::string& path) {
    while (size > 0) {
        const ssize_t got = retry_after_signal([&] { return ::pread(fd, out, size, static_cast<off_t>(offset)); });
        if (got < 0) throw SystemCallFailed(errno, path);
        if (got == 0) throw SystemCallFailed(EIO, path);  // the file was cut short under us
        out += got;
        size -= static_cast<std::size_t>(got);
        offset += static_cast<std::uint64_t>(got);
    }
}

// One run's segment of one contig, read a BGZF block at a time.
struct SegmentReader {
    SegmentReader(std::uint64_t virtual_offset, std::uint64_t records, std::size_t run_index)
        : block(virtual_offset >> 16), at(virtual_offset & 0xffff), left(records), run(run_index) {}

    std::uint64_t block;  // compressed offset of the next block to read
    std::size_t at;       // in `data`, where the next entry starts
    std::uint64_t left;   // records not yet read
    std::size_t run;
    std::string data;     // what is left of the blocks read
    std::vector<char> packed;
    bool first = true;
    std::int64_t pos = 0;
    IndexSpan span{0, 0};
    std::string_view line;

    void read_block(int fd, const std::string& path, BlockInflater& inflater) {
        char header[bgzf_header_size];
        read_at(fd, header, bgzf_header_size, block, path);
        const std::size_t size = static_cast<std::size_t>(get<std::uint16_t>(header + 16)) + 1;
        if (size < bgzf_header_size + bgzf_footer_size) throw SystemCallFailed(EIO, path);
        packed.resize(size - bgzf_header_size);
        read_at(fd, packed.data(), packed.size(), block + bgzf_header_size, path);
        const auto raw_size = get<std::uint32_t>(packed.data() + packed.size() - 4);
        data.erase(0, at);
        const std::size_t kept = first ? 0 : data.size();
        data.resize(kept + raw_size);
        if (!inflater.inflate(reinterpret_cast<const unsigned char*>(packed.data()), packed.size() - bgzf_footer_size,
                              data.data() + kept, raw_size))
            throw SystemCallFailed(EIO, path);
        at = first ? at : 0;  // the first block's data begins at the segment's offset within it
        first = false;
        block += size;
    }

    void ensure(std::size_t bytes, int fd, const std::string& path, BlockInflater& inflater) {
        while (first || data.size() - at < bytes) read_block(fd, path, inflater);
    }

    // The next record into pos, span and line; false after the last.
    bool next(int fd, const std::string& path, BlockInflater& inflater, bool spans) {
        if (left == 0) return false;
        --left;
        const std::size_t fixed = spans ? 28 : 12;
        ensure(fixed, fd, path, inflater);
        const auto length = get<std::uint32_t>(data.data() + at);
        ensure(fixed + length, fd, path, inflater);
        const char* entry = data.data() + at;
        pos = get<std::int64_t>(entry + 4);
        if (spans) span = {get<std::int64_t>(entry + 12), get<std::int64_t>(entry + 20)};
        line = std::string_view(entry + fixed, length);
        at += fixed + length;
        return true;
    }
};

}  // namespace

SortedRuns::SortedRuns(const std::string& directory, bool keep_spans)
    : directory_(directory),
      file_(unnamed_file(directory)),
      keep_spans_(keep_spans),
      writer_(std::make_unique<BgzfWriter>(file_, directory_, bgzf_threads_for(std::size_t{1} << 40), run_level,
                                           BgzfOutput::scratch)) {}

SortedRuns::~SortedRuns() = default;

void SortedRuns::add(const VcfRecords& part, const std::vector<IndexSpan>& spans) {
    std::vector<std::uint32_t> identity(part.contigs.size());
    for (std::uint32_t i = 0; i < identity.size(); ++i) identity[i] = i;
    const std::vector<std::uint32_t> order = sorted_record_order(part, identity);

    std::vector<Segment>& segments = runs_.emplace_back(part.contigs.size(), Segment{0, 0});
    std::uint32_t contig = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        // The lines lie all over memory in sorted order: loads asked for ahead overlap.
        if (i + 2 * prefetch_distance < order.size()) __builtin_prefetch(part.start.address(order[i + 2 * prefetch_distance]));
        if (i + prefetch_distance < order.size()) {
            const std::uint32_t ahead = order[i + prefetch_distance];
            __builtin_prefetch(part.text.data() + part.start[ahead]);
            __builtin_prefetch(part.pos.address(ahead));
        }
        const std::uint32_t record = order[i];
        if (i == 0 || part.contig[record] != contig) {
            contig = part.contig[record];
            segments[contig].offset = writer_->uncompressed_size();
        }
        ++segments[contig].count;
        const std::string_view line = part.record(record);
        entry_.clear();
        put_u32(entry_, static_cast<std::uint32_t>(line.size()));
        put_i64(entry_, part.pos[record]);
        if (keep_spans_) {
            put_i64(entry_, spans[record].beg);
            put_i64(entry_, spans[record].end);
        }
        writer_->write(entry_);
        writer_->write(line);
        if (i % 65536 == 0) poll_interrupt();
    }
}

void SortedRuns::merge(const std::vector<std::uint32_t>& contig_order,
                       const std::function<void(std::uint32_t, std::string_view, const IndexSpan&)>& emit) {
    writer_->finish();
    BlockInflater inflater;
    std::vector<SegmentReader> readers;
    std::vector<std::size_t> heap;
    // The heap's top is the reader with the least POS, the earliest run on ties.
    const auto later = [&](std::size_t a, std::size_t b) {
        return readers[a].pos != readers[b].pos ? readers[a].pos > readers[b].pos : readers[a].run > readers[b].run;
    };
    std::uint64_t emitted = 0;
    for (const std::uint32_t contig : contig_order) {
        readers.clear();
        for (std::size_t run = 0; run < runs_.size(); ++run)
            if (contig < runs_[run].size() && runs_[run][contig].count != 0)
                readers.emplace_back(writer_->virtual_offset(runs_[run][contig].offset), runs_[run][contig].count, run);
        heap.clear();
        for (std::size_t r = 0; r < readers.size(); ++r)
            if (readers[r].next(file_.get(), directory_, inflater, keep_spans_)) heap.push_back(r);
        std::make_heap(heap.begin(), heap.end(), later);
        while (!heap.empty()) {
            std::pop_heap(heap.begin(), heap.end(), later);
            SegmentReader& reader = readers[heap.back()];
            emit(contig, reader.line, reader.span);
            if (reader.next(file_.get(), directory_, inflater, keep_spans_)) std::push_heap(heap.begin(), heap.end(), later);
            else heap.pop_back();
            if (++emitted % 65536 == 0) poll_interrupt();
        }
    }
}

}  // namespace callfold::compression
