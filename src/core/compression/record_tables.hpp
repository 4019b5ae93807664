// The per-record tables of a text being sorted: one number a record (or a
// line, while the text is collected), beside the text itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <memory>
#include <new>
#include <stdexcept>
#include <type_traits>
#include <utility>
#include <vector>

namespace callfold::compression {

// An allocator that leaves the numbers a vector grows by unset: the tables of
// a whole text's records are sized once and then filled on several threads,
// and setting them to zero first would be one more pass over memory on one.
template <class T>
struct LeftUnset : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = LeftUnset<U>;
    };
    LeftUnset() = default;
    template <class U>
    LeftUnset(const LeftUnset<U>&) noexcept {}
    template <class U, class... Args>
    void construct(U* at, Args&&... args) {
        if constexpr (sizeof...(Args) == 0) ::new (static_cast<void*>(at)) U;
        else ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
};

template <class T>
using RecordTable = std::vector<T, LeftUnset<T>>;

// 64-bit numbers (where records start in their text, their POS) held in 32
// bits while every one of them fits, as they do for any text under 4 GiB and
// any position on a genome's chromosomes: beside a text of short records this
// halves what sorting it holds. A number that does not fit widens the table
// for good.
template <class Number>
class CompactTable {
    static_assert(std::is_same_v<Number, std::uint64_t> || std::is_same_v<Number, std::int64_t>);

public:
    CompactTable() = default;
    CompactTable(std::initializer_list<Number> values) {
        for (const Number value : values) push_back(value);
    }
    // `count` entries, unset; wide from the start when numbers past 32 bits
    // are expected (and must then be set from several threads).
    CompactTable(std::size_t count, bool wide) : wide_(wide) {
        if (wide_) wide_numbers_.resize(count);
        else narrow_.resize(count);
    }

    std::size_t size() const { return wide_ ? wide_numbers_.size() : narrow_.size(); }
    Number operator[](std::size_t i) const { return wide_ ? wide_numbers_[i] : Number{narrow_[i]}; }
    // Where entry i lies, to ask for it ahead of its turn.
    const void* address(std::size_t i) const {
        return wide_ ? static_cast<const void*>(wide_numbers_.data() + i) : static_cast<const void*>(narrow_.data() + i);
    }

    // Sets entry i unless the table is narrow and `value` does not fit it;
    // false then, and nothing is set. Threads may set different entries.
    bool try_set(std::size_t i, Number value) {
        if (wide_) {
            wide_numbers_[i] = value;
            return true;
        }
        if (!fits_narrow(value)) return false;
        narrow_[i] = static_cast<std::uint32_t>(value);
        return true;
    }
    // Sets entry i to a number the table holds as it is: any once wide, else
    // one that fits 32 bits (a table that must widen grows by push_back).
    void set(std::size_t i, Number value) {
        if (!try_set(i, value)) throw std::logic_error("a number does not fit its record table");
    }
    void push_back(Number value) {
        if (!wide_ && !fits_narrow(value)) widen();
        if (wide_) wide_numbers_.push_back(value);
        else narrow_.push_back(static_cast<std::uint32_t>(value));
    }
    void resize(std::size_t count) {
        if (wide_) wide_numbers_.resize(count);
        else narrow_.resize(count);
    }
    // The table emptied and its memory given back.
    void release() { *this = CompactTable(); }

    // Calls `use` with the entries as a plain array (of 32-bit numbers when
    // narrow): loops over many entries then test the width once, not per entry.
    template <class Use>
    decltype(auto) visit(Use&& use) const {
        return wide_ ? use(wide_numbers_.data()) : use(narrow_.data());
    }

private:
    static constexpr bool fits_narrow(Number value) {
        if constexpr (std::is_signed_v<Number>) {
            if (value < 0) return false;
        }
        return static_cast<std::uint64_t>(value) <= std::numeric_limits<std::uint32_t>::max();
    }
    void widen() {
        RecordTable<Number> wide(narrow_.begin(), narrow_.end());
        wide_numbers_ = std::move(wide);
        RecordTable<std::uint32_t>().swap(narrow_);
        wide_ = true;
    }

    RecordTable<std::uint32_t> narrow_;
    RecordTable<Number> wide_numbers_;
    bool wide_ = false;
};

}  // namespace callfold::compression
