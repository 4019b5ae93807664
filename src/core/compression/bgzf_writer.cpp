#include "compression/bgzf_writer.hpp"

#include <algorithm>
#include <cstring>

#include "common/errors.hpp"
#include "common/host_context.hpp"
#include "common/parallel_ranges.hpp"

namespace callfold::compression {
namespace {

constexpr std::size_t output_flush_size = std::size_t{1} << 20;
constexpr std::size_t slots_per_thread = 4;
constexpr std::uint64_t writeback_step = std::uint64_t{8} << 20;
constexpr unsigned max_threads = 8;

void put_le16(unsigned char* out, std::size_t value) {
    out[0] = static_cast<unsigned char>(value & 0xff);
    out[1] = static_cast<unsigned char>((value >> 8) & 0xff);
}

void put_le32(unsigned char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<unsigned char>((value >> (8 * i)) & 0xff);
}

}  // namespace

const unsigned char bgzf_eof_block[28] = {0x1f, 0x8b, 0x08, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff,
                                          0x06, 0x00, 0x42, 0x43, 0x02, 0x00, 0x1b, 0x00, 0x03, 0x00,
                                          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

std::size_t make_bgzf_block(BlockDeflater* compressor, std::string_view data, unsigned char* out) {
    // gzip member header: ID1 ID2 CM=deflate FLG=FEXTRA, MTIME 0, XFL 0, OS unknown,
    // XLEN 6, then the BC subfield whose value (set below) is the block size - 1.
    static constexpr unsigned char header[16] = {0x1f, 0x8b, 0x08, 0x04, 0x00, 0x00, 0x00, 0x00,
                                                 0x00, 0xff, 0x06, 0x00, 0x42, 0x43, 0x02, 0x00};
    std::memcpy(out, header, sizeof header);
    unsigned char* deflated = out + bgzf_header_size;
    const std::size_t room = bgzf_max_block - bgzf_header_size - bgzf_footer_size;

    std::size_t deflated_size = 0;
    if (compressor != nullptr) deflated_size = compressor->compress(data, deflated, room);
    if (deflated_size == 0) {
        // Did not fit (or no compressor): one final stored DEFLATE block.
        deflated[0] = 0x01;
        put_le16(deflated + 1, data.size());
        put_le16(deflated + 3, ~data.size() & 0xffff);
        if (!data.empty()) std::memcpy(deflated + 5, data.data(), data.size());
        deflated_size = 5 + data.size();
    }
    const std::size_t total = bgzf_header_size + deflated_size + bgzf_footer_size;
    put_le16(out + 16, total - 1);
    unsigned char* footer = deflated + deflated_size;
    put_le32(footer, crc32_of(0, data.data(), data.size()));
    put_le32(footer + 4, static_cast<std::uint32_t>(data.size()));
    return total;
}

unsigned bgzf_threads_for(std::size_t total_bytes) {
    const unsigned cores = static_cast<unsigned>(std::min<std::size_t>(thread_cap(), max_threads));
    const std::size_t blocks = (total_bytes + bgzf_block_data - 1) / bgzf_block_data;
    if (blocks < 2) return 1;
    return static_cast<unsigned>(std::min<std::size_t>(cores, blocks));
}

BgzfWriter::BgzfWriter(const FileDescriptor& file, std::string path, unsigned threads, int level, BgzfOutput kind)
    : file_(file), path_(std::move(path)), level_(level), kind_(kind) {
    current_.reserve(bgzf_block_data);
    output_.reserve(output_flush_size + bgzf_max_block);
    if (threads <= 1) {
        inline_compressor_ = std::make_unique<BlockDeflater>(level_);
        slots_.resize(1);
        slots_[0].block.resize(bgzf_max_block);
        return;
    }
    slots_.resize(static_cast<std::size_t>(threads) * slots_per_thread);
    for (Slot& slot : slots_) {
        slot.data.reserve(bgzf_block_data);
        slot.block.resize(bgzf_max_block);
    }
    try {
        for (unsigned i = 0; i < threads; ++i) worker_compressors_.push_back(std::make_unique<BlockDeflater>(level_));
        for (unsigned i = 0; i < threads; ++i)
            workers_.emplace_back([this, compressor = worker_compressors_[i].get()] { worker_loop(*compressor); });
    } catch (...) {
        stop_workers();
        throw;
    }
}

BgzfWriter::~BgzfWriter() { stop_workers(); }

void BgzfWriter::stop_workers() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    work_ready_.notify_all();
    for (std::thread& worker : workers_)
        if (worker.joinable()) worker.join();
    workers_.clear();
}

void BgzfWriter::worker_loop(BlockDeflater& compressor) {
    for (;;) {
        Slot* slot = nullptr;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_ready_.wait(lock, [this] { return stopping_ || next_compress_ < next_sequence_; });
            if (stopping_) return;
            slot = &slots_[next_compress_ % slots_.size()];
            ++next_compress_;
        }
        std::exception_ptr error;
        try {
            slot->block_size = make_bgzf_block(&compressor, slot->data, slot->block.data());
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (error && !worker_error_) worker_error_ = error;
            slot->done = true;
        }
        work_done_.notify_all();
    }
}

void BgzfWriter::write(std::string_view data) {
    uncompressed_size_ += data.size();
    while (!data.empty()) {
        const std::size_t take = std::min(data.size(), bgzf_block_data - current_.size());
        current_.append(data.data(), take);
        data.remove_prefix(take);
        if (current_.size() == bgzf_block_data) submit_current();
    }
}

void BgzfWriter::submit_current() {
    report_progress(current_.size());
    if (workers_.empty()) {
        Slot& slot = slots_[0];
        slot.block_size = make_bgzf_block(inline_compressor_.get(), current_, slot.block.data());
        current_.clear();
        write_slot(slot);
        return;
    }
    if (next_sequence_ - next_write_ == slots_.size()) drain(next_write_ + 1);  // free the oldest slot
    Slot& slot = slots_[next_sequence_ % slots_.size()];
    slot.data.swap(current_);
    current_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slot.done = false;
        ++next_sequence_;
    }
    work_ready_.notify_one();
}

void BgzfWriter::drain(std::uint64_t sequence) {
    while (next_write_ < sequence) {
        Slot& slot = slots_[next_write_ % slots_.size()];
        {
            std::unique_lock<std::mutex> lock(mutex_);
            work_done_.wait(lock, [&] { return slot.done || worker_error_; });
            if (worker_error_) std::rethrow_exception(worker_error_);
        }
        write_slot(slot);
        ++next_write_;
    }
}

void BgzfWriter::write_slot(Slot& slot) {
    output_.insert(output_.end(), slot.block.data(), slot.block.data() + slot.block_size);
    block_offsets_.push_back(block_offsets_.back() + slot.block_size);
    if (output_.size() >= output_flush_size) flush_output();
}

void BgzfWriter::flush_output() {
    poll_interrupt();
    write_all(file_.get(), std::string_view(reinterpret_cast<const char*>(output_.data()), output_.size()), path_);
    written_ += output_.size();
    output_.clear();
    // A kept file is synced once complete: its blocks go to disk while the
    // rest is compressed, rather than all at the end.
    if (kind_ == BgzfOutput::kept && written_ - writeback_start_ >= writeback_step) {
        start_writeback(file_.get(), writeback_start_, written_ - writeback_start_);
        writeback_start_ = written_;
    }
}

void BgzfWriter::finish() {
    if (finished_) return;
    if (!current_.empty()) submit_current();
    drain(next_sequence_);
    output_.insert(output_.end(), std::begin(bgzf_eof_block), std::end(bgzf_eof_block));
    flush_output();
    stop_workers();
    finished_ = true;
}

std::uint64_t BgzfWriter::virtual_offset(std::uint64_t uncompressed_offset) const {
    // The end of the data is offset 0 of the EOF block, as a reader's position
    // after the last byte of a block is the start of the next one.
    if (uncompressed_offset == uncompressed_size_) return block_offsets_.back() << 16;
    const std::uint64_t block = uncompressed_offset / bgzf_block_data;
    return block_offsets_.at(block) << 16 | uncompressed_offset % bgzf_block_data;
}

}  // namespace callfold::compression
