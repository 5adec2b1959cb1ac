#include "serial/ring_buffer.h"

#include <algorithm>
#include <cstring>

namespace orvet {
namespace {

// Copies that allow source and target to be the same bytes (a block built in the free part
// and then queued from there).
void copyBytes(char* to, const char* from, std::size_t count) {
    if (count != 0 && to != from)
        std::memmove(to, from, count);
}

}  // namespace

void RingBuffer::allocate(std::uint32_t size) {
    data_ = std::make_unique<char[]>(size);
    size_ = size;
    pos_ = 0;
    used_ = 0;
}

RingBuffer::Span RingBuffer::held() const {
    return {size_ == 0 ? 0 : pos_ % size_, used_};
}

RingBuffer::Run RingBuffer::freeRun(Span span) const {
    const std::uint32_t end = span.pos + span.used;
    if (end < size_)
        return {end, size_ - end};
    // The held bytes wrap: the free part lies between the newest and the oldest of them.
    return {end - size_, size_ - span.used};
}

RingBuffer::Run RingBuffer::heldRun(Span span) const {
    return {span.pos, span.pos + span.used < size_ ? span.used : size_ - span.pos};
}

std::size_t RingBuffer::copyIn(Span span, const char* from, std::size_t len) {
    const Run first = freeRun(span);
    std::size_t copied = std::min<std::size_t>(len, first.length);
    copyBytes(data_.get() + first.at, from, copied);
    // A free part that reaches the end of the storage goes on from index 0 up to the oldest
    // held byte.
    const std::uint32_t atStart = first.at + first.length == size_ ? span.pos : 0;
    const std::size_t rest = std::min<std::size_t>(len - copied, atStart);
    copyBytes(data_.get(), from + copied, rest);
    return copied + rest;
}

std::size_t RingBuffer::copyOut(Span span, char* to, std::size_t max) const {
    const Run first = heldRun(span);
    std::size_t copied = std::min<std::size_t>(max, first.length);
    copyBytes(to, data_.get() + first.at, copied);
    // Held bytes beyond the end of the storage go on from index 0.
    const std::size_t rest = std::min<std::size_t>(max - copied, span.used - first.length);
    copyBytes(to + copied, data_.get(), rest);
    return copied + rest;
}

void RingBuffer::removed(Span span, std::uint32_t count) {
    used_ -= count;
    std::uint32_t next = span.pos + count;
    if (next >= size_)
        next -= size_;
    pos_ = next;
}

}  // namespace orvet
