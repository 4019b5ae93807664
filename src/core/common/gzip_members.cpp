#include "common/gzip_members.hpp"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "common/errors.hpp"

namespace callfold {
namespace {

constexpr std::size_t raw_chunk = std::size_t{1} << 20;
constexpr std::size_t stream_chunk = std::size_t{1} << 18;
// Members that announce more than this are streamed rather than inflated whole.
constexpr std::uint32_t largest_whole_block = std::uint32_t{1} << 20;

constexpr unsigned char flag_hcrc = 0x02, flag_extra = 0x04, flag_name = 0x08, flag_comment = 0x10;

std::uint32_t le16(const unsigned char* bytes) { return bytes[0] | (std::uint32_t{bytes[1]} << 8); }
std::uint32_t le32(const unsigned char* bytes) {
    return le16(bytes) | (le16(bytes + 2) << 16);
}

// The size of the whole member a gzip extra field gives in a BGZF "BC"
// subfield (its last one wins), or 0 when it has none.
std::size_t bgzf_block_size(const unsigned char* field, const unsigned char* extra_end) {
    std::size_t block_size = 0;
    while (extra_end - field >= 4) {
        const std::size_t field_length = le16(field + 2);
        if (field[0] == 'B' && field[1] == 'C' && field_length == 2 && extra_end - field >= 6)
            block_size = le16(field + 4) + 1;
        field += 4 + field_length;
    }
    return block_size;
}

[[noreturn]] void truncated() { throw DamagedGzip(DamagedGzip::Kind::truncated); }

[[noreturn]] void corrupt(const char* detail) {
    DamagedGzip error(DamagedGzip::Kind::corrupt);
    error.detail = detail;
    throw error;
}

// Blocks queued per worker thread: enough that a worker never waits on the
// reader, few enough that the window stays small (a block is at most 64 KiB
// either way).
constexpr std::size_t blocks_per_worker = 8;
// How long the reader waits for a worker's block before inflating it itself.
constexpr std::chrono::milliseconds straggler_wait{1};

}  // namespace

// A ring of block slots between the reading thread and the workers. The reader
// fills slots at `tail` and empties them at `head`, in file order; workers take
// them at `claimed`. A slot's bytes belong to whoever set it running until it
// is done.
struct GzipMembers::Pipeline {
    enum class State { queued, running, done };
    struct Slot {
        std::vector<unsigned char> member;  // the whole block
        std::size_t header = 0;
        std::uint32_t expected = 0;
        std::unique_ptr<char[]> text;
        std::size_t text_room = 0;
        State state = State::done;
        bool inflated = false;  // whole, with the CRC-32 the block stores
    };

    // The reading thread inflates too while it waits, so `threads` - 1 workers.
    explicit Pipeline(unsigned threads) : slots(threads * blocks_per_worker) {
        for (unsigned i = 1; i < threads; ++i) inflaters.push_back(std::make_unique<BlockInflater>());
        try {
            for (std::unique_ptr<BlockInflater>& inflater : inflaters)
                workers.emplace_back([this, &inflater] { work(*inflater); });
        } catch (...) {
            stop();
            throw;
        }
    }
    ~Pipeline() { stop(); }

    void stop() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        work_ready.notify_all();
        for (std::thread& worker : workers) worker.join();
        workers.clear();
    }

    static void inflate(Slot& slot, BlockInflater& inflater) {
        const std::size_t size = slot.member.size();
        const unsigned char* member = slot.member.data();
        try {
            slot.inflated = inflater.inflate(member + slot.header, size - slot.header - 8, slot.text.get(), slot.expected) &&
                            le32(member + size - 8) == crc32_of(0, slot.text.get(), slot.expected);
        } catch (...) {
            slot.inflated = false;  // read again on the reader's thread, which reports what is wrong
        }
    }

    // Takes the next queued slot and inflates it; the lock is held on entry and on return.
    void inflate_next(std::unique_lock<std::mutex>& lock, BlockInflater& inflater) {
        Slot& slot = slots[claimed++ % slots.size()];
        slot.state = State::running;
        lock.unlock();
        inflate(slot, inflater);
        lock.lock();
        slot.state = State::done;
    }

    void work(BlockInflater& inflater) {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            ++idle_workers;
            work_ready.wait(lock, [&] { return stopping || claimed < tail; });
            --idle_workers;
            if (stopping) return;
            inflate_next(lock, inflater);
            if (reader_waiting) block_done.notify_one();
        }
    }

    bool full() const { return tail - head == slots.size(); }
    bool empty() const { return tail == head; }

    // A slot filled at `tail`: a worker may take it.
    void queued() {
        bool wake = false;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            ++tail;
            wake = idle_workers > 0;
        }
        if (wake) work_ready.notify_one();
    }

    // Takes the oldest slot when no worker has: the reader then inflates it
    // straight into its own buffer rather than copying it there.
    bool claim_oldest() {
        const std::lock_guard<std::mutex> lock(mutex);
        if (claimed != head || head == tail) return false;
        ++claimed;
        slots[head % slots.size()].state = State::running;
        return true;
    }
    void oldest_done(bool claimed_here) {
        if (!claimed_here) return;  // the worker still holds it and marks it done itself
        const std::lock_guard<std::mutex> lock(mutex);
        slots[head % slots.size()].state = State::done;
    }

    // Waits for the oldest slot to be inflated, inflating queued slots meanwhile.
    // False when a worker has had it for a while (a worker the system has put
    // aside on a busy machine): the reader then inflates it itself, and the
    // slot is not filled again until the worker is done with it.
    bool oldest(BlockInflater& own) {
        Slot& slot = slots[head % slots.size()];
        std::unique_lock<std::mutex> lock(mutex);
        while (slot.state != State::done) {
            if (claimed < tail) {
                inflate_next(lock, own);
                continue;
            }
            reader_waiting = true;
            const bool woken = block_done.wait_for(lock, straggler_wait) == std::cv_status::no_timeout;
            reader_waiting = false;
            if (!woken && slot.state == State::running) return false;
        }
        return true;
    }

    // Whether the slot at `tail` may be filled (no worker still holds it).
    bool tail_free() {
        const std::lock_guard<std::mutex> lock(mutex);
        return slots[tail % slots.size()].state != State::running;
    }

    // Withdraws every slot not taken yet and waits for those being inflated.
    void settle() {
        std::unique_lock<std::mutex> lock(mutex);
        claimed = tail;
        for (;;) {
            bool running = false;
            for (std::size_t i = head; i < tail; ++i) running |= slots[i % slots.size()].state == State::running;
            if (!running) return;
            reader_waiting = true;
            block_done.wait(lock);
            reader_waiting = false;
        }
    }

    std::vector<Slot> slots;
    std::size_t head = 0, tail = 0, claimed = 0;  // counts of slots ever emptied, filled and taken
    bool stopping = false;
    unsigned idle_workers = 0;
    bool reader_waiting = false;
    std::mutex mutex;
    std::condition_variable work_ready, block_done;
    std::vector<std::unique_ptr<BlockInflater>> inflaters;
    std::vector<std::thread> workers;
};

GzipMembers::GzipMembers(ByteSource& source, unsigned threads) : source_(source), threads_(threads) {
    raw_.resize(raw_chunk);
    if (inflateInit2(&stream_, -15) != Z_OK) throw std::bad_alloc();
    stream_ready_ = true;
}

GzipMembers::~GzipMembers() {
    pipeline_.reset();
    if (stream_ready_) inflateEnd(&stream_);
}

bool GzipMembers::ensure_raw(std::size_t count) {
    if (raw_available() >= count) return true;
    if (raw_pos_ > 0) {
        std::memmove(raw_.data(), raw_.data() + raw_pos_, raw_available());
        raw_end_ -= raw_pos_;
        raw_pos_ = 0;
    }
    if (raw_.size() < count) raw_.resize(count);
    while (raw_end_ < count && !file_ended_) {
        // A read that failed while looking ahead fails when its bytes are
        // needed, where the sequential reader would have met it.
        if (read_error_) {
            if (read_ahead_) break;
            std::rethrow_exception(read_error_);
        }
        std::size_t got = 0;
        try {
            got = source_.read(reinterpret_cast<char*>(raw_.data()) + raw_end_, raw_.size() - raw_end_);
        } catch (const SystemCallFailed&) {
            if (!read_ahead_) throw;
            read_error_ = std::current_exception();
            break;
        }
        if (got == 0) file_ended_ = true;
        raw_end_ += got;
    }
    return raw_end_ >= count;
}

bool GzipMembers::whole_bgzf_block(std::size_t& header, std::size_t& block_size, std::uint32_t& expected) {
    read_ahead_ = true;
    struct Restore {
        bool& flag;
        ~Restore() { flag = false; }
    } restore{read_ahead_};
    // A BGZF header: deflate, only the extra field, which holds "BC".
    if (!ensure_raw(12)) return false;
    const unsigned char* bytes = raw();
    if (bytes[0] != 0x1f || bytes[1] != 0x8b || bytes[2] != 8 || bytes[3] != flag_extra) return false;
    const std::size_t extra_length = le16(bytes + 10);
    header = 12 + extra_length;
    if (!ensure_raw(header)) return false;
    block_size = bgzf_block_size(raw() + 12, raw() + header);
    if (block_size < header + 8 || !ensure_raw(block_size)) return false;
    expected = le32(raw() + block_size - 4);
    return expected <= largest_whole_block;
}

std::size_t GzipMembers::queue_blocks() {
    if (!pipeline_) pipeline_ = std::make_unique<Pipeline>(threads_);
    Pipeline& pipeline = *pipeline_;
    std::size_t queued = 0;
    std::size_t header = 0, block_size = 0;
    std::uint32_t expected = 0;
    while (!pipeline.full() && pipeline.tail_free() && whole_bgzf_block(header, block_size, expected)) {
        Pipeline::Slot& slot = pipeline.slots[pipeline.tail % pipeline.slots.size()];
        slot.member.assign(raw(), raw() + block_size);
        slot.header = header;
        slot.expected = expected;
        if (slot.text_room < expected || !slot.text) {
            slot.text_room = std::max<std::size_t>(expected, 1);
            slot.text.reset(new char[slot.text_room]);
        }
        slot.state = Pipeline::State::queued;
        raw_pos_ += block_size;
        pipeline.queued();
        ++queued;
    }
    return queued;
}

void GzipMembers::replay_queued() {
    Pipeline& pipeline = *pipeline_;
    pipeline.settle();
    std::vector<unsigned char> replay;
    for (std::size_t i = pipeline.head; i < pipeline.tail; ++i) {
        const std::vector<unsigned char>& member = pipeline.slots[i % pipeline.slots.size()].member;
        replay.insert(replay.end(), member.begin(), member.end());
    }
    replay.insert(replay.end(), raw(), raw() + raw_available());
    raw_end_ = replay.size();
    raw_pos_ = 0;
    if (replay.size() < raw_chunk) replay.resize(raw_chunk);
    raw_ = std::move(replay);
    pipeline.head = pipeline.tail;
    sequential_once_ = true;
}

// Length of the member header that starts the unread bytes; `block_size` is
// the whole member's size when the header carries the BGZF "BC" field, else 0.
std::size_t GzipMembers::header_length(std::size_t& block_size) {
    block_size = 0;
    // Stray bytes after the last member (a newline appended by a tool) are no
    // member at all rather than a cut one: the magic number is judged on what
    // there is before a whole header is asked for.
    const bool magic_complete = ensure_raw(2);
    const std::size_t magic_bytes = magic_complete ? 2 : raw_available();
    if (!magic_complete || raw()[0] != 0x1f || raw()[1] != 0x8b)
        throw DamagedGzip(DamagedGzip::Kind::not_gzip, std::string(reinterpret_cast<const char*>(raw()), magic_bytes));
    if (!ensure_raw(10)) truncated();
    const unsigned char* header = raw();
    if (header[2] != 8) throw DamagedGzip(DamagedGzip::Kind::unknown_method);
    const unsigned char flags = header[3];
    std::size_t length = 10;
    if (flags & flag_extra) {
        if (!ensure_raw(length + 2)) truncated();
        const std::size_t extra_length = le16(raw() + length);
        length += 2;
        if (!ensure_raw(length + extra_length)) truncated();
        block_size = bgzf_block_size(raw() + length, raw() + length + extra_length);
        length += extra_length;
    }
    for (const unsigned char flag : {flag_name, flag_comment}) {
        if (!(flags & flag)) continue;
        // A zero-terminated text of any length.
        for (;;) {
            if (!ensure_raw(length + 1)) truncated();
            const void* zero = std::memchr(raw() + length, 0, raw_available() - length);
            if (zero != nullptr) {
                length = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - raw()) + 1;
                break;
            }
            length = raw_available();
        }
    }
    if (flags & flag_hcrc) length += 2;
    if (!ensure_raw(length)) truncated();
    return length;
}

void GzipMembers::check_trailer(std::uint32_t crc, std::uint32_t length) {
    const std::uint32_t stored_crc = le32(raw());
    const std::uint32_t stored_length = le32(raw() + 4);
    if (stored_crc != crc) {
        DamagedGzip error(DamagedGzip::Kind::crc_mismatch);
        error.stored_crc = stored_crc;
        error.computed_crc = crc;
        throw error;
    }
    if (stored_length != length) throw DamagedGzip(DamagedGzip::Kind::length_mismatch);
}

bool GzipMembers::inflate_step(ByteBuffer& out) {
    for (;;) {
        if (raw_available() == 0 && !ensure_raw(1)) truncated();
        char* target = out.reserve_tail(stream_chunk);
        stream_.next_in = raw_.data() + raw_pos_;
        stream_.avail_in = static_cast<uInt>(raw_available());
        stream_.next_out = reinterpret_cast<Bytef*>(target);
        stream_.avail_out = static_cast<uInt>(stream_chunk);
        const int status = inflate(&stream_, Z_NO_FLUSH);
        raw_pos_ = static_cast<std::size_t>(stream_.next_in - raw_.data());
        const std::size_t produced = stream_chunk - stream_.avail_out;
        member_crc_ = crc32_of(member_crc_, target, produced);
        member_length_ += static_cast<std::uint32_t>(produced);
        out.commit(produced);
        if (status == Z_STREAM_END) {
            in_stream_member_ = false;
            if (!ensure_raw(8)) truncated();
            check_trailer(member_crc_, member_length_);
            raw_pos_ += 8;
            return produced > 0;
        }
        if (status == Z_DATA_ERROR || status == Z_NEED_DICT)
            corrupt(stream_.msg ? stream_.msg : "invalid compressed data");
        if (status == Z_MEM_ERROR) throw std::bad_alloc();
        if (status != Z_OK && status != Z_BUF_ERROR)
            corrupt(stream_.msg ? stream_.msg : "inflate failed");
        if (produced > 0) return true;
    }
}

bool GzipMembers::decode_into(ByteBuffer& out) {
    for (;;) {
        if (pipeline_ && !pipeline_->empty()) {
            Pipeline& pipeline = *pipeline_;
            Pipeline::Slot& slot = pipeline.slots[pipeline.head % pipeline.slots.size()];
            // Claimed here, or taken over from a worker that is slow to finish it.
            const bool claimed_here = pipeline.claim_oldest();
            if (claimed_here || !pipeline.oldest(whole_block_)) {
                const std::uint32_t size = slot.expected;
                char* target = out.reserve_tail(size);
                const std::size_t member_size = slot.member.size();
                const unsigned char* member = slot.member.data();
                const bool inflated = whole_block_.inflate(member + slot.header, member_size - slot.header - 8, target, size) &&
                                      le32(member + member_size - 8) == crc32_of(0, target, size);
                pipeline.oldest_done(claimed_here);
                if (!inflated) {
                    replay_queued();
                    continue;
                }
                out.commit(size);
                ++pipeline.head;
                queue_blocks();
                if (size > 0) return true;
                continue;
            }
            if (!slot.inflated) {
                replay_queued();
                continue;
            }
            const std::uint32_t size = slot.expected;
            if (size > 0) std::memcpy(out.reserve_tail(size), slot.text.get(), size);
            out.commit(size);
            ++pipeline.head;  // the slot may be filled again from here on
            queue_blocks();
            if (size > 0) return true;
            continue;
        }
        if (in_stream_member_) {
            if (inflate_step(out)) return true;
            continue;
        }
        // Between members: skip zero padding; the end of the file here is a clean end.
        while (member_seen_) {
            if (!ensure_raw(1)) return false;
            const unsigned char* start = raw();
            const unsigned char* stop = start + raw_available();
            const unsigned char* p = start;
            while (p < stop && *p == 0) ++p;
            raw_pos_ += static_cast<std::size_t>(p - start);
            if (p < stop) break;
        }

        if (!member_seen_ && !ensure_raw(1)) return false;  // an empty file
        member_seen_ = true;
        if (threads_ > 1 && !sequential_once_ && queue_blocks() > 0) continue;
        sequential_once_ = false;
        std::size_t block_size = 0;
        const std::size_t header = header_length(block_size);
        if (block_size >= header + 8 && ensure_raw(block_size)) {
            const std::uint32_t expected = le32(raw() + block_size - 4);
            if (expected <= largest_whole_block) {
                char* target = out.reserve_tail(expected);
                if (whole_block_.inflate(raw() + header, block_size - header - 8, target, expected) &&
                    le32(raw() + block_size - 8) == crc32_of(0, target, expected)) {
                    raw_pos_ += block_size;
                    out.commit(expected);
                    if (expected > 0) return true;
                    continue;  // an empty block, such as the BGZF end-of-file marker
                }
                // A block that does not hold what its header announces: the
                // streaming path below reads it as any gzip reader would, and
                // reports the damage if there is any.
            }
        }
        // Any other member: streamed from just after its header.
        raw_pos_ += header;
        if (inflateReset(&stream_) != Z_OK) corrupt("inflateReset failed");
        in_stream_member_ = true;
        member_crc_ = 0;
        member_length_ = 0;
    }
}

}  // namespace callfold
