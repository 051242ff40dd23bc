// A record list keeps its records through growth, moves and copies, with or without a
// thread mapping its pages ahead of the writer, and that thread does map them. Growing
// within the range held for the list leaves the records where they are.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "analysis/PageWarmer.h"
#include "analysis/RecordList.h"

namespace korvane {
namespace {

struct Rec {
  uint64_t number = 0;
  uint32_t check = 0;
  int32_t spare = -1;
};

Rec Numbered(uint64_t i) { return Rec{i, uint32_t(i * 2654435761u), int32_t(i % 7)}; }

// The first record out of place, or -1.
template <class List>
int64_t FirstWrong(const List& list, uint64_t from = 0) {
  for (size_t i = 0; i < list.size(); ++i) {
    const Rec want = Numbered(from + i);
    if (list[i].number != want.number || list[i].check != want.check || list[i].spare != want.spare)
      return int64_t(i);
  }
  return -1;
}

template <class List>
void Fill(List& list, size_t count, uint64_t from = 0) {
  for (size_t i = 0; i < count; ++i) list.push_back(Numbered(from + i));
}

// Whether the page holding `at` is mapped in.
bool Resident(const void* at) {
  const auto page = size_t(::sysconf(_SC_PAGESIZE));
  auto start = reinterpret_cast<uintptr_t>(at) / page * page;
  unsigned char in = 0;
  return ::mincore(reinterpret_cast<void*>(start), page, &in) == 0 && (in & 1) != 0;
}

class RecordListGrowth : public ::testing::TestWithParam<std::tuple<bool, size_t>> {};

TEST_P(RecordListGrowth, RecordsSurviveGrowthMovesCopiesAndRefills) {
  const auto [warm, count] = GetParam();
  RecordList<Rec> list;
  list.WarmAhead(warm);
  Fill(list, count);
  ASSERT_EQ(list.size(), count);
  EXPECT_EQ(FirstWrong(list), -1);

  // Moved while its warmer may be busy: the records go along, the source is empty.
  RecordList<Rec> moved(std::move(list));
  EXPECT_EQ(moved.size(), count);
  EXPECT_TRUE(list.empty());
  Fill(moved, count / 2 + 1, count);  // grows on from where it was
  EXPECT_EQ(FirstWrong(moved), -1);

  const RecordList<Rec> copy = moved;
  EXPECT_EQ(copy.size(), moved.size());
  EXPECT_EQ(FirstWrong(copy), -1);

  // Warming turned off half-way, then emptied and filled again in the room kept.
  moved.WarmAhead(false);
  const size_t room = moved.capacity();
  moved.clear();
  moved.WarmAhead(warm);
  Fill(moved, count, 5);
  EXPECT_EQ(moved.capacity(), room);
  EXPECT_EQ(FirstWrong(moved, 5), -1);

  list = std::move(moved);  // assigned over an empty list
  EXPECT_EQ(FirstWrong(list, 5), -1);
}

INSTANTIATE_TEST_SUITE_P(WarmAndCold, RecordListGrowth,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(size_t(1), size_t(5000), size_t(1500000))),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param) ? "Warm" : "Cold") +
                                  std::to_string(std::get<1>(info.param));
                         });

// Ranges of addresses held for a list: the usual one, one a list soon outgrows (and is
// then moved whole), and one no system can give (the list then maps only what it uses and
// moves at each doubling, as lists did before ranges were held).
template <size_t Held>
struct HeldRange {
  static constexpr size_t kBytes = Held;
  using List = RecordList<Rec, Held>;
};
template <class Range>
class RecordListRoom : public ::testing::Test {};
using Ranges = ::testing::Types<HeldRange<kRecordListHeldBytes>, HeldRange<size_t(1) << 20>, HeldRange<size_t(1) << 62>>;
TYPED_TEST_SUITE(RecordListRoom, Ranges);

// Growth within the held range leaves the records in place (so their pages stay mapped as
// they were); beyond it, or without one, they are moved and all kept, warmer on or off.
TYPED_TEST(RecordListRoom, KeepsItsPlaceWithinItsRangeAndEveryRecordBeyondIt) {
  constexpr size_t kHeld = TypeParam::kBytes, kCount = 1500000;  // a dozen doublings, past the warmer's start
  void* probe = ::mmap(nullptr, kHeld, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  const bool held = probe != MAP_FAILED;
  if (held) ::munmap(probe, kHeld);
  if (!held && kHeld < (size_t(1) << 40)) GTEST_SKIP() << "no room for a list's range of addresses here";

  for (const bool warm : {false, true}) {
    SCOPED_TRACE(warm ? "warm" : "cold");
    typename TypeParam::List list;
    list.WarmAhead(warm);
    Fill(list, 1);
    const Rec* first = list.data();
    const size_t fits = held ? std::min(kCount, kHeld / sizeof(Rec)) : 0;
    if (fits > 1) {
      Fill(list, fits - 1, 1);
      EXPECT_EQ(list.data(), first);
    }
    Fill(list, kCount - list.size(), list.size());
    ASSERT_EQ(list.size(), kCount);
    EXPECT_EQ(FirstWrong(list), -1);

    typename TypeParam::List copy = list;
    list = typename TypeParam::List();
    EXPECT_EQ(FirstWrong(copy), -1);
    Fill(copy, 1000, kCount);  // the copy grows on
    EXPECT_EQ(FirstWrong(copy), -1);
  }
}

TEST(RecordListWarmer, MapsPagesAheadOfTheWriterAndNoFurther) {
  constexpr size_t kMiB = size_t(1) << 20;
  for (const bool warm : {false, true}) {
    SCOPED_TRACE(warm ? "warm" : "cold");
    RecordList<Rec> list;
    list.WarmAhead(warm);
    list.reserve(64 * kMiB / sizeof(Rec));  // 64 MiB of room, none of it touched
    Fill(list, 6 * kMiB / sizeof(Rec));     // 6 MiB written
    // 5 MiB past the last record (beyond any huge page the writer touched): mapped by the
    // warmer alone. The warmer works on its own time; it is given up to ten seconds.
    const Rec* ahead = list.data() + list.size() + 5 * kMiB / sizeof(Rec);
    bool mapped = Resident(ahead);
    for (int wait = 0; warm && wait < 1000 && !mapped; ++wait) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      mapped = Resident(ahead);
    }
    EXPECT_EQ(mapped, warm);
    // Far beyond the writer nothing is mapped: the warmer keeps a bounded distance.
    EXPECT_FALSE(Resident(list.data() + 60 * kMiB / sizeof(Rec)));
    EXPECT_EQ(FirstWrong(list), -1);
  }
}

}  // namespace
}  // namespace korvane
