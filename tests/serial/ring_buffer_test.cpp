// RingBuffer on an 8-byte ring, small enough that every layout can be written out: free
// bytes are '.', held bytes 'a', 'b', ... oldest first, written bytes 'A', 'B', ...
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <ostream>
#include <string>

#include "serial/ring_buffer.h"

namespace orvet {
namespace {

constexpr std::uint32_t kSize = 8;

// Gives `ring` kSize bytes of '.' and `used` held bytes 'a', 'b', ... from index `pos` on.
void setUp(RingBuffer& ring, std::uint32_t pos, std::uint32_t used) {
    ring.allocate(kSize);
    std::memset(ring.data(), '.', kSize);
    for (std::uint32_t i = 0; i < used; ++i)
        ring.data()[(pos + i) % kSize] = static_cast<char>('a' + i);
    ring.position() = pos;
    ring.added(used);
}

std::string storage(const RingBuffer& ring) {
    return std::string(ring.data(), ring.size());
}

// The held bytes, oldest first, left in the ring.
std::string heldBytes(const RingBuffer& ring) {
    std::string out(ring.used(), '\0');
    out.resize(ring.copyOut(ring.held(), out.data(), out.size()));
    return out;
}

// --- Writing into the free part ----------------------------------------------------------

struct CopyInCase {
    const char* name;
    std::uint32_t pos;
    std::uint32_t used;
    const char* write;
    std::size_t copied;
    const char* storage;  // afterwards
};

void PrintTo(const CopyInCase& c, std::ostream* os) {
    *os << c.name;
}

class SerialRingBufferCopyIn : public ::testing::TestWithParam<CopyInCase> {};

TEST_P(SerialRingBufferCopyIn, FillsTheFreePartAcrossTheWrap) {
    const CopyInCase& c = GetParam();
    RingBuffer ring;
    setUp(ring, c.pos, c.used);
    const std::string before = heldBytes(ring);
    const std::string data = c.write;

    const std::size_t copied = ring.copyIn(ring.held(), data.data(), data.size());
    ASSERT_EQ(copied, c.copied);
    EXPECT_EQ(storage(ring), c.storage);
    EXPECT_EQ(ring.used(), c.used) << "nothing is held until it is added";

    ring.added(static_cast<std::uint32_t>(copied));
    EXPECT_EQ(ring.used(), c.used + copied);
    EXPECT_EQ(ring.held().pos, c.pos);
    EXPECT_EQ(heldBytes(ring), before + data.substr(0, copied));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialRingBufferCopyIn,
    ::testing::Values(
        CopyInCase{"into an empty ring", 0, 0, "ABC", 3, "ABC....."},
        CopyInCase{"up to the end exactly", 0, 0, "ABCDEFGH", 8, "ABCDEFGH"},
        CopyInCase{"more than the ring holds", 0, 0, "ABCDEFGHIJ", 8, "ABCDEFGH"},
        CopyInCase{"empty ring, wraps at the end", 6, 0, "ABCD", 4, "CD....AB"},
        CopyInCase{"stops before the end", 3, 2, "AB", 2, "...abAB."},
        CopyInCase{"after the held bytes, then before them", 3, 2, "ABCDEF", 6, "DEFabABC"},
        CopyInCase{"more than both free runs", 3, 2, "ABCDEFGHIJ", 6, "DEFabABC"},
        CopyInCase{"held bytes end at the end", 4, 4, "ABCDEF", 4, "ABCDabcd"},
        CopyInCase{"held bytes wrap, only the gap is free", 6, 4, "ABCDEF", 4, "cdABCDab"},
        CopyInCase{"full", 5, 8, "A", 0, "defghabc"},
        CopyInCase{"nothing to write", 2, 1, "", 0, "..a....."}));

// --- Reading the held part ---------------------------------------------------------------

struct CopyOutCase {
    const char* name;
    std::uint32_t pos;
    std::uint32_t used;
    std::size_t max;
    const char* got;
    std::uint32_t posAfter;  // once the bytes read are removed
};

void PrintTo(const CopyOutCase& c, std::ostream* os) {
    *os << c.name;
}

class SerialRingBufferCopyOut : public ::testing::TestWithParam<CopyOutCase> {};

TEST_P(SerialRingBufferCopyOut, TakesTheOldestBytesAcrossTheWrap) {
    const CopyOutCase& c = GetParam();
    RingBuffer ring;
    setUp(ring, c.pos, c.used);
    const std::string all = heldBytes(ring);
    const RingBuffer::Span span = ring.held();

    std::string got(c.max, '\0');
    got.resize(ring.copyOut(span, got.data(), got.size()));
    ASSERT_EQ(got, c.got);
    EXPECT_EQ(ring.used(), c.used) << "nothing is gone until it is removed";

    ring.removed(span, static_cast<std::uint32_t>(got.size()));
    EXPECT_EQ(ring.position().load(), c.posAfter);
    EXPECT_EQ(ring.used(), c.used - got.size());
    EXPECT_EQ(heldBytes(ring), all.substr(got.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SerialRingBufferCopyOut,
    ::testing::Values(CopyOutCase{"part of an unwrapped run", 2, 4, 3, "abc", 5},
                      CopyOutCase{"all of it, more asked", 2, 4, 10, "abcd", 6},
                      CopyOutCase{"up to the end exactly", 5, 3, 3, "abc", 0},
                      CopyOutCase{"across the wrap", 6, 5, 5, "abcde", 3},
                      CopyOutCase{"into the second run", 6, 5, 3, "abc", 1},
                      CopyOutCase{"inside the first run", 6, 5, 1, "a", 7},
                      CopyOutCase{"full ring", 3, 8, 8, "abcdefgh", 3},
                      CopyOutCase{"full ring from 0, part of it", 0, 8, 5, "abcde", 5},
                      CopyOutCase{"empty", 4, 0, 4, "", 4}));

// --- Contiguous runs, for device I/O in place --------------------------------------------

struct RunCase {
    const char* name;
    std::uint32_t pos;
    std::uint32_t used;
    RingBuffer::Run free;
    RingBuffer::Run held;
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

class SerialRingBufferRuns : public ::testing::TestWithParam<RunCase> {};

TEST_P(SerialRingBufferRuns, StopAtTheEndOfTheStorageOrTheOtherPart) {
    const RunCase& c = GetParam();
    RingBuffer ring;
    setUp(ring, c.pos, c.used);
    const RingBuffer::Span span = ring.held();

    const RingBuffer::Run freeRun = ring.freeRun(span);
    EXPECT_EQ(freeRun.at, c.free.at);
    EXPECT_EQ(freeRun.length, c.free.length);
    const RingBuffer::Run heldRun = ring.heldRun(span);
    EXPECT_EQ(heldRun.at, c.held.at);
    EXPECT_EQ(heldRun.length, c.held.length);
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialRingBufferRuns,
                         ::testing::Values(RunCase{"empty at 0", 0, 0, {0, 8}, {0, 0}},
                                           RunCase{"empty at 5", 5, 0, {5, 3}, {5, 0}},
                                           RunCase{"held inside", 2, 3, {5, 3}, {2, 3}},
                                           RunCase{"held up to the end", 5, 3, {0, 5}, {5, 3}},
                                           RunCase{"held bytes wrap", 6, 4, {2, 4}, {6, 2}},
                                           RunCase{"full", 3, 8, {3, 0}, {3, 5}},
                                           RunCase{"full from 0", 0, 8, {0, 0}, {0, 8}}));

// --- Positions and lifetime --------------------------------------------------------------

TEST(SerialRingBuffer, PositionBeyondTheStorageIsTakenModuloItsSize) {
    RingBuffer ring;
    setUp(ring, 3, 2);
    ring.position() = 3 + 2 * kSize;
    const RingBuffer::Span span = ring.held();
    EXPECT_EQ(span.pos, 3u);
    EXPECT_EQ(heldBytes(ring), "ab");
    ring.removed(span, 1);
    EXPECT_EQ(ring.position().load(), 4u);
}

TEST(SerialRingBuffer, ClearDropsTheBytesButKeepsThePosition) {
    RingBuffer ring;
    setUp(ring, 6, 4);
    ring.clear();
    EXPECT_EQ(ring.used(), 0u);
    EXPECT_EQ(ring.position().load(), 6u);
    EXPECT_EQ(ring.copyIn(ring.held(), "AB", 2), 2u);
    EXPECT_EQ(storage(ring).substr(6), "AB") << "the next bytes go at the kept position";
}

TEST(SerialRingBuffer, AllocateStartsAFreshEmptyRing) {
    RingBuffer ring;
    setUp(ring, 5, 3);
    ring.allocate(4);
    EXPECT_EQ(ring.size(), 4u);
    EXPECT_EQ(ring.used(), 0u);
    EXPECT_EQ(ring.position().load(), 0u);
    EXPECT_EQ(storage(ring), std::string(4, '\0'));

    ring.allocate(0);
    const RingBuffer::Span span = ring.held();
    EXPECT_EQ(span.pos, 0u);
    EXPECT_EQ(ring.freeRun(span).length, 0u) << "a ring of size 0 never has room";
    EXPECT_EQ(ring.copyIn(span, "A", 1), 0u);
    char c = 'x';
    EXPECT_EQ(ring.copyOut(span, &c, 1), 0u);
}

// A block built in the free part and then queued from there stays as it was.
TEST(SerialRingBuffer, BlockBuiltInPlaceIsCopiedOntoItself) {
    RingBuffer ring;
    setUp(ring, 3, 0);
    std::memcpy(ring.data() + 3, "FRAME", 5);
    EXPECT_EQ(ring.copyIn(ring.held(), ring.data() + 3, 5), 5u);
    ring.added(5);
    EXPECT_EQ(storage(ring), "...FRAME");
    EXPECT_EQ(heldBytes(ring), "FRAME");
}

// Writes and reads of sizes that do not divide the ring, against a plain string as the model:
// the bytes come out in order and the position follows them round and round.
TEST(SerialRingBuffer, LongStreamKeepsItsOrderThroughManyWraps) {
    RingBuffer ring;
    ring.allocate(kSize);
    const std::size_t writes[] = {3, 5, 1, 7, 8, 2, 6};
    const std::size_t reads[] = {2, 6, 4, 1, 8, 5};
    std::string model;
    std::size_t taken = 0;
    char next = 0;
    for (int step = 0; step < 200; ++step) {
        std::string data(writes[step % std::size(writes)], '\0');
        for (char& c : data)
            c = next++;
        const std::size_t room = kSize - model.size();
        const std::size_t copied = ring.copyIn(ring.held(), data.data(), data.size());
        ASSERT_EQ(copied, std::min(room, data.size())) << "step " << step;
        ring.added(static_cast<std::uint32_t>(copied));
        model += data.substr(0, copied);

        std::string got(reads[step % std::size(reads)], '\0');
        const RingBuffer::Span span = ring.held();
        got.resize(ring.copyOut(span, got.data(), got.size()));
        ring.removed(span, static_cast<std::uint32_t>(got.size()));
        ASSERT_EQ(got, model.substr(0, got.size())) << "step " << step;
        model.erase(0, got.size());
        taken += got.size();
        ASSERT_EQ(ring.used(), model.size()) << "step " << step;
        ASSERT_EQ(ring.position().load(), taken % kSize) << "step " << step;
    }
    EXPECT_GT(taken, 20 * kSize) << "the stream went round the ring many times";
}

}  // namespace
}  // namespace orvet
