#include "common/line_stream.hpp"

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>


#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "common/host_context.hpp"
#include "common/input_location.hpp"
#include "common/parallel_ranges.hpp"
#include "common/text_rules.hpp"

namespace callfold {
namespace {

constexpr std::size_t plain_chunk = std::size_t{1} << 20;
// Decode at least this much before looking for lines again.
constexpr std::size_t fill_target = std::size_t{1} << 18;
constexpr std::string_view utf8_bom = "\xef\xbb\xbf";

// Length of a leading run of ASCII bytes other than "\r" (whole blocks of
// it): text there needs neither checking nor newline translation.
std::size_t plain_ascii_prefix(const char* data, std::size_t size) {
    std::size_t pos = 0;
#if defined(__SSE2__)
    const __m128i carriage = _mm_set1_epi8('\r');
    while (pos + 64 <= size) {
        const auto* block = reinterpret_cast<const __m128i*>(data + pos);
        const __m128i a = _mm_loadu_si128(block), b = _mm_loadu_si128(block + 1);
        const __m128i c = _mm_loadu_si128(block + 2), d = _mm_loadu_si128(block + 3);
        // A byte with its high bit set is not ASCII; "\r" compares to all ones.
        const __m128i flags = _mm_or_si128(
            _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d)),
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(a, carriage), _mm_cmpeq_epi8(b, carriage)),
                         _mm_or_si128(_mm_cmpeq_epi8(c, carriage), _mm_cmpeq_epi8(d, carriage))));
        if (_mm_movemask_epi8(flags) != 0) break;
        pos += 64;
    }
#else
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t high = 0x8080808080808080ull;
    constexpr std::uint64_t low7 = 0x7f7f7f7f7f7f7f7full;
    while (pos + 32 <= size) {
        std::uint64_t words[4];
        std::memcpy(words, data + pos, 32);
        std::uint64_t flags = 0;
        for (const std::uint64_t word : words) {
            const std::uint64_t x = word ^ (ones * '\r');
            flags |= (word & high) | ~(((x & low7) + low7) | x | low7);  // non-ASCII, or a zero byte of x
        }
        if (flags != 0) break;
        pos += 32;
    }
#endif
    return pos;
}

bool is_plain_ascii(const char* data, std::size_t size) {
    for (std::size_t pos = plain_ascii_prefix(data, size); pos < size; ++pos) {
        const auto byte = static_cast<unsigned char>(data[pos]);
        if (byte >= 0x80 || byte == '\r') return false;
    }
    return true;
}

// Rewrites "\r\n" and lone "\r" in [begin, end) as "\n" in place; returns the new end.
char* normalize_newlines(char* begin, char* end, bool& skip_lf) {
    char* read = begin;
    if (skip_lf && read < end) {
        if (*read == '\n') ++read;
        skip_lf = false;
    }
    char* carriage = static_cast<char*>(std::memchr(read, '\r', static_cast<std::size_t>(end - read)));
    if (carriage == nullptr && read == begin) return end;
    char* write = begin;
    while (carriage != nullptr) {
        const std::size_t run = static_cast<std::size_t>(carriage - read);
        std::memmove(write, read, run);
        write += run;
        *write++ = '\n';
        read = carriage + 1;
        if (read == end) {
            skip_lf = true;
            break;
        }
        if (*read == '\n') ++read;
        carriage = static_cast<char*>(std::memchr(read, '\r', static_cast<std::size_t>(end - read)));
    }
    const std::size_t rest = static_cast<std::size_t>(end - read);
    std::memmove(write, read, rest);
    return write + rest;
}

}  // namespace

LineStream::LineStream(const std::string& path, Compression compression)
    : LineStream(open_file_source(path), compression) {}

LineStream::LineStream(std::unique_ptr<ByteSource> source, Compression compression)
    : path_(source->name()), source_(std::move(source)) {
    if (compression == Compression::detect)
        compression = starts_with_gzip_magic(source_) ? Compression::gzip : Compression::plain;
    if (compression == Compression::gzip)
        members_ = std::make_unique<GzipMembers>(*source_, static_cast<unsigned>(thread_cap()));
}

LineStream::~LineStream() { close(); }

void LineStream::close() {
    members_.reset();
    source_.reset();
    finished_ = true;
    input_ended_ = true;
    pos_ = checked_ = 0;
    text_.resize_down(0);
    error_ = nullptr;
}

void LineStream::fill() {
    // Keep only what is not delivered yet.
    text_.consume_front(pos_);
    checked_ -= pos_;
    pos_ = 0;

    poll_interrupt();
    const std::size_t start = text_.size();
    try {
        while (!input_ended_ && text_.size() - start < fill_target) {
            if (members_) {
                if (!members_->decode_into(text_)) input_ended_ = true;
            } else {
                char* target = text_.reserve_tail(plain_chunk);
                const std::size_t got = source_->read(target, plain_chunk);
                if (got == 0) input_ended_ = true;
                text_.commit(got);
            }
        }
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const Interrupted&) {
        throw;
    } catch (...) {
        error_ = std::current_exception();
        input_ended_ = true;
    }
    const bool complete = input_ended_ && !error_;
    // A byte order mark that an editor put before the text is not part of the first line.
    if (!start_checked_ && (text_.size() >= utf8_bom.size() || input_ended_)) {
        start_checked_ = true;
        if (std::string_view(text_.data(), text_.size()).starts_with(utf8_bom)) text_.consume_front(utf8_bom.size());
    }
    if (!start_checked_) return;  // the first bytes are still to come

    // Check the bytes after `checked_` (a sequence cut by the end of the
    // decoded bytes waits for the rest), then normalise their line ends.
    const std::size_t unchecked = text_.size() - checked_;
    if (unchecked == 0) {
        if (complete) finished_ = true;
        return;
    }
    char* const base = text_.data();
    const std::size_t plain = skip_lf_ ? 0 : plain_ascii_prefix(base + checked_, unchecked);
    std::size_t valid = unchecked;
    if (plain < unchecked) {
        const Utf8Check check =
            check_utf8(std::string_view(base + checked_ + plain, unchecked - plain), complete);
        valid = plain + check.valid;
        // Invalid bytes come before whatever stopped the decoding after them.
        if (check.problem != Utf8Problem::none)
            error_ = std::make_exception_ptr(
                InvalidUtf8(std::string(base + checked_, unchecked), valid, plain + check.error_end, check.problem));
    }
    char* const valid_end = base + checked_ + valid;
    char* const normalized_end = normalize_newlines(base + checked_ + plain, valid_end, skip_lf_);
    if (normalized_end != valid_end) {
        const std::size_t tail = unchecked - valid;
        std::memmove(normalized_end, valid_end, tail);
        text_.resize_down(static_cast<std::size_t>(normalized_end - base) + tail);
    }
    checked_ = static_cast<std::size_t>(normalized_end - base);
    if (complete) finished_ = true;
}

bool LineStream::deliver(std::string_view& text, bool all_complete_lines) {
    for (;;) {
        const char* base = text_.data();
        if (checked_ > pos_) {
            const void* newline = all_complete_lines ? ::memrchr(base + pos_, '\n', checked_ - pos_)
                                                     : std::memchr(base + pos_, '\n', checked_ - pos_);
            if (newline != nullptr) {
                const std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(newline) - base) + 1;
                text = std::string_view(base + pos_, stop - pos_);
                pos_ = stop;
                return true;
            }
        }
        if (error_) std::rethrow_exception(error_);
        if (finished_) {
            if (pos_ < checked_) {
                text = std::string_view(base + pos_, checked_ - pos_);
                pos_ = checked_;
                return true;
            }
            return false;
        }
        fill();
    }
}

bool LineStream::next(std::string_view& line) { return deliver(line, false); }

bool LineStream::next_lines(std::string_view& lines) { return deliver(lines, true); }

ByteBuffer LineStream::take_rest(std::size_t size_hint) {
    if (size_hint > text_.size()) text_.reserve_tail(size_hint - text_.size());
    while (!finished_ && !error_) fill();
    if (error_) std::rethrow_exception(error_);
    text_.resize_down(checked_);
    text_.consume_front(pos_);
    pos_ = checked_ = 0;
    return std::move(text_);
}

LineStream::Pending LineStream::pending() const {
    const char* base = text_.data();
    Pending result{static_cast<std::uint64_t>(std::count(base + pos_, base + checked_, '\n')), {}};
    const void* last_newline = checked_ > pos_ ? ::memrchr(base + pos_, '\n', checked_ - pos_) : nullptr;
    const std::size_t line_begin =
        last_newline ? static_cast<std::size_t>(static_cast<const char*>(last_newline) - base) + 1 : pos_;
    // The failing line runs on past the checked text into the bytes that failed.
    result.line_start = line_start_of(std::string_view(base + line_begin, text_.size() - line_begin));
    return result;
}

void rethrow_read_error(const LineStream& stream, std::string input, std::uint64_t delivered_lines) {
    LineStream::Pending pending = stream.pending();
    InputLocation where;
    where.input = std::move(input);
    where.path = stream.path();
    where.line = delivered_lines + pending.complete_lines + 1;
    where.line_start = std::move(pending.line_start);
    rethrow_located(std::move(where));
}

std::string LineStream::read_rest() {
    while (!finished_ && !error_) fill();
    if (error_) std::rethrow_exception(error_);
    std::string rest(text_.data() + pos_, checked_ - pos_);
    pos_ = checked_;
    return rest;
}

TextLines read_lines(std::unique_ptr<ByteSource> source, Compression compression, std::size_t size_hint) {
    TextLines result;
    {
        LineStream stream(std::move(source), compression);
        try {
            result.text = stream.take_rest(size_hint);
        } catch (...) {
            rethrow_read_error(stream, "", 0);
        }
    }
    result.lines = split_lines(std::string_view(result.text.data(), result.text.size()));
    return result;
}

std::optional<ByteBuffer> read_plain_ascii_file(const std::string& path, std::size_t size, std::size_t room) {
    // Each thread reads its own stretch of the file, so the pages of the buffer
    // are faulted in and the page cache copied on every core at once; each
    // slice is checked while it is still in cache.
    constexpr std::size_t bytes_per_thread = std::size_t{4} << 20;
    const FileDescriptor file = open_file(path, O_RDONLY);
    ByteBuffer text;
    char* const base = text.reserve_tail(size + room);
    std::atomic<bool> as_it_stands{true};
    const std::size_t slices = (size + plain_chunk - 1) / plain_chunk;
    run_in_ranges(slices, ranges_for(size, bytes_per_thread), [&](std::size_t first, std::size_t last, const RangeStop& stop) {
        for (std::size_t slice = first; slice < last; ++slice) {
            if (stop.due(0) || !as_it_stands.load(std::memory_order_relaxed)) return;
            const std::size_t begin = slice * plain_chunk;
            const std::size_t end = std::min(size, begin + plain_chunk);
            for (std::size_t at = begin; at < end;) {
                const std::size_t got = read_some_at(file.get(), base + at, end - at, at, path);
                if (got == 0) {  // shorter than it was
                    as_it_stands = false;
                    return;
                }
                at += got;
            }
            if (!is_plain_ascii(base + begin, end - begin)) {
                as_it_stands = false;
                return;
            }
        }
    });
    char beyond = 0;
    if (!as_it_stands || read_some_at(file.get(), &beyond, 1, size, path) != 0) return std::nullopt;
    text.commit(size);
    return text;
}

}  // namespace callfold
