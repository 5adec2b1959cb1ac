#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace orvet {

// A byte ring of fixed size: its storage, the read position (index of the oldest held byte)
// and the count of held bytes. The held bytes start at the read position and wrap at the end
// of the storage; the free part follows them.
//
// Not thread-safe. The owner guards the count and the position with its own lock, and moves
// bytes without holding it: it takes a Span under the lock, copies (or does device I/O)
// against that Span, and records what it moved with added() or removed() under the lock
// again. Meanwhile only one producer may write into the free part and only one consumer may
// read the held part, so the bytes either of them touches are never the other's.
class RingBuffer {
public:
    // The held bytes at one moment: the index of the oldest, within the storage, and their
    // count.
    struct Span {
        std::uint32_t pos = 0;
        std::uint32_t used = 0;
    };
    // A contiguous stretch of the storage.
    struct Run {
        std::uint32_t at = 0;
        std::uint32_t length = 0;
    };

    // Fresh zeroed storage of `size` bytes, empty, read position 0. A ring of size 0 holds
    // nothing.
    void allocate(std::uint32_t size);
    char* data() const { return data_.get(); }
    std::uint32_t size() const { return size_; }
    std::uint32_t used() const { return used_; }
    // The read position. Atomic because owners let callers set it directly between moves;
    // it is taken modulo the size, so any value is a valid position.
    std::atomic<std::uint32_t>& position() { return pos_; }

    Span held() const;
    // Where the next bytes go and how many fit there before the end of the storage or the
    // oldest held byte.
    Run freeRun(Span span) const;
    // The held bytes from the oldest up to the newest or the end of the storage.
    Run heldRun(Span span) const;
    // Copies as much of `from` as fits into the free part of `span`, across the wrap; the
    // count. `from` may be the storage at the free part itself (a block built in place).
    std::size_t copyIn(Span span, const char* from, std::size_t len);
    // Copies up to `max` of the held bytes of `span`, oldest first, across the wrap; the
    // count.
    std::size_t copyOut(Span span, char* to, std::size_t max) const;

    // `count` bytes written into the free part are now held.
    void added(std::uint32_t count) { used_ += count; }
    // The `count` oldest bytes of `span` are gone; the read position moves past them.
    void removed(Span span, std::uint32_t count);
    // Drops every held byte; the read position stays.
    void clear() { used_ = 0; }

private:
    std::unique_ptr<char[]> data_;
    std::uint32_t size_ = 0;
    std::atomic<std::uint32_t> pos_{0};
    std::uint32_t used_ = 0;
};

}  // namespace orvet
