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
#include "common/interruption.hpp"

namespace callfold::compression {
namespace {

// Entries are gathered into blocks of about this many bytes, each compressed
// on its own: a reader holds one block of each run it merges.
constexpr std::size_t block_bytes = 64 * 1024;
// Compressed blocks are written in batches of about this many bytes.
constexpr std::size_t write_batch = 1 << 20;
// Fast compression: the runs are read back once, soon.
constexpr int run_level = 1;
constexpr std::size_t block_header = 8;  // raw size, compressed size (0: stored)

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

// One run's segment of one contig, read a block at a time.
struct SegmentReader {
    SegmentReader(std::uint64_t start, std::uint64_t records, std::size_t run_index)
        : offset(start), left(records), run(run_index) {}

    std::uint64_t offset;
    std::uint64_t left;  // records not yet read
    std::size_t run;
    std::string raw;
    std::size_t at = 0;
    std::vector<char> packed;
    std::int64_t pos = 0;
    IndexSpan span{0, 0};
    std::string_view line;

    // The next record into pos, span and line; false after the last.
    bool next(int fd, const std::string& path, BlockInflater& inflater, bool spans) {
        if (left == 0) return false;
        --left;
        if (at == raw.size()) {
            char header[block_header];
            read_at(fd, header, block_header, offset, path);
            const auto raw_size = get<std::uint32_t>(header);
            const auto packed_size = get<std::uint32_t>(header + 4);
            raw.resize(raw_size);
            if (packed_size == 0) {
                read_at(fd, raw.data(), raw_size, offset + block_header, path);
            } else {
                packed.resize(packed_size);
                read_at(fd, packed.data(), packed_size, offset + block_header, path);
                if (!inflater.inflate(reinterpret_cast<const unsigned char*>(packed.data()), packed_size, raw.data(),
                                      raw_size))
                    throw SystemCallFailed(EIO, path);
            }
            offset += block_header + packed_size + (packed_size == 0 ? raw_size : 0);
            at = 0;
        }
        const char* entry = raw.data() + at;
        const auto length = get<std::uint32_t>(entry);
        pos = get<std::int64_t>(entry + 4);
        std::size_t used = 12;
        if (spans) {
            span = {get<std::int64_t>(entry + 12), get<std::int64_t>(entry + 20)};
            used = 28;
        }
        line = std::string_view(entry + used, length);
        at += used + length;
        return true;
    }
};

}  // namespace

SortedRuns::SortedRuns(const std::string& directory, bool keep_spans)
    : directory_(directory),
      file_(unnamed_file(directory)),
      keep_spans_(keep_spans),
      deflater_(std::make_unique<BlockDeflater>(run_level)) {}

void SortedRuns::write_block() {
    if (block_.empty()) return;
    const std::size_t header_at = compressed_.size();
    compressed_.resize(header_at + block_header + block_.size() + block_.size() / 8 + 1024);
    auto* out = reinterpret_cast<unsigned char*>(compressed_.data() + header_at + block_header);
    std::size_t packed = deflater_->compress(block_, out, compressed_.size() - header_at - block_header);
    if (packed == 0 || packed >= block_.size()) {  // stored: it does not shrink
        std::memcpy(out, block_.data(), block_.size());
        packed = 0;
    }
    const auto raw_size = static_cast<std::uint32_t>(block_.size());
    const auto packed_size = static_cast<std::uint32_t>(packed);
    std::memcpy(compressed_.data() + header_at, &raw_size, 4);
    std::memcpy(compressed_.data() + header_at + 4, &packed_size, 4);
    compressed_.resize(header_at + block_header + (packed == 0 ? block_.size() : packed));
    block_.clear();
    if (compressed_.size() >= write_batch) {
        write_all(file_.get(), compressed_, directory_);
        size_ += compressed_.size();
        compressed_.clear();
    }
}

void SortedRuns::add(const VcfRecords& part, const std::vector<IndexSpan>& spans) {
    std::vector<std::uint32_t> identity(part.contigs.size());
    for (std::uint32_t i = 0; i < identity.size(); ++i) identity[i] = i;
    const std::vector<std::uint32_t> order = sorted_record_order(part, identity);

    std::vector<Segment>& segments = runs_.emplace_back(part.contigs.size(), Segment{0, 0});
    std::uint32_t contig = 0;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const std::uint32_t record = order[i];
        if (i == 0 || part.contig[record] != contig) {
            write_block();  // a segment starts at a block
            contig = part.contig[record];
            segments[contig].offset = size_ + compressed_.size();
        }
        ++segments[contig].count;
        const std::string_view line = part.record(record);
        put_u32(block_, static_cast<std::uint32_t>(line.size()));
        put_i64(block_, part.pos[record]);
        if (keep_spans_) {
            put_i64(block_, spans[record].beg);
            put_i64(block_, spans[record].end);
        }
        block_.append(line);
        if (block_.size() >= block_bytes) write_block();
        if (i % 65536 == 0) poll_interrupt();
    }
    write_block();
    write_all(file_.get(), compressed_, directory_);
    size_ += compressed_.size();
    compressed_ = std::string();
    block_ = std::string();
}

void SortedRuns::merge(const std::vector<std::uint32_t>& contig_order,
                       const std::function<void(std::uint32_t, std::string_view, const IndexSpan&)>& emit) {
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
                readers.emplace_back(runs_[run][contig].offset, runs_[run][contig].count, run);
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
