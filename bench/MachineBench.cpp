// What the machine charges for the costs that decide how the read can be split: handing a
// cache line from one core to the other and back, a load that depends on the one before
// it in tables of growing size, and whether the two cores are two cores at all: a virtual
// machine's two cores may be the two threads of one physical core, which then do about
// 1.2 times the work of one, not twice. The read loop reads ahead on a second core only
// where a frame's handover costs less than the work it takes off the analyser.
//
// And what memory costs a 4-KiB page: the records of a long trace are hundreds of MiB
// written once during the read and walked again after it. On bare metal a fresh page costs
// well under a microsecond; on a virtual machine whose host maps each page for the program
// on its first use, several, and then that cost, not the analysis, sets the floor under a
// long run. A page the kernel moved to another address (a mapping grown with mremap, its
// page table entries moved one by one) costs as much again on its next touch.
//
//   korvane-machine-bench
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

namespace {

double Nanoseconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - since).count();
}

void PinTo(int cpu) {
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(cpu, &set);
  pthread_setaffinity_np(pthread_self(), sizeof set, &set);  // best effort
}

// One line passed to the other core and back, many times: the time of one round trip.
double RoundTripNanoseconds() {
  constexpr int kTrips = 200000;
  alignas(64) std::atomic<int> turn{0};
  std::thread other([&] {
    PinTo(1);
    for (int i = 0; i < kTrips; ++i) {
      while (turn.load(std::memory_order_acquire) != 2 * i + 1) {
      }
      turn.store(2 * i + 2, std::memory_order_release);
    }
  });
  PinTo(0);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kTrips; ++i) {
    turn.store(2 * i + 1, std::memory_order_release);
    while (turn.load(std::memory_order_acquire) != 2 * i + 2) {
    }
  }
  const double total = Nanoseconds(start);
  other.join();
  return total / kTrips;
}

volatile uint64_t chainEnd = 0;

// A chain of loads through a random cycle over `bytes` of 64-byte lines.
double DependentLoadNanoseconds(size_t bytes) {
  const size_t lines = bytes / 64;
  std::vector<uint32_t> order(lines);
  std::iota(order.begin(), order.end(), 0u);
  std::shuffle(order.begin(), order.end(), std::mt19937(1));
  std::vector<uint64_t> next(lines * 8);
  for (size_t i = 0; i < lines; ++i) next[size_t(order[i]) * 8] = order[(i + 1) % lines];
  constexpr int kLoads = 2000000;
  uint64_t at = order[0];
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kLoads; ++i) at = next[at * 8];
  const double total = Nanoseconds(start);
  chainEnd = at;  // the chain's result is used, so the loads stay
  return total / kLoads;
}

volatile uint64_t sumEnd = 0;

// Arithmetic that keeps one core's multipliers busy (eight independent chains).
void Multiply(int rounds) {
  uint64_t x[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  for (int i = 0; i < rounds; ++i)
    for (uint64_t& v : x) v = v * 6364136223846793005ull + 1442695040888963407ull;
  sumEnd = std::accumulate(std::begin(x), std::end(x), uint64_t(0));
}

// The time of the same arithmetic on both cores at once over its time on one alone: about
// 1 with two cores, about 1.6 to 2 when the two share one core's units.
double BothCoresOverOne() {
  constexpr int kRounds = 50000000;
  PinTo(0);
  auto start = std::chrono::steady_clock::now();
  Multiply(kRounds);
  const double alone = Nanoseconds(start);
  start = std::chrono::steady_clock::now();
  std::thread other([] {
    PinTo(1);
    Multiply(kRounds);
  });
  Multiply(kRounds);
  other.join();
  return Nanoseconds(start) / alone;
}

// Microseconds a 4-KiB page for each way a program can come by its memory, measured over
// 64 MiB of anonymous memory.
struct PageCosts {
  double faulted = 0;     // a write faulting a fresh page in
  double mapping = 0;     // asking the kernel to map fresh pages ahead (MADV_POPULATE_WRITE)
  double afterMap = 0;    // the first write into each page so mapped
  double givenBack = 0;   // a write faulting in a page of memory just given back
  double moved = 0;       // a read of a written page after its mapping grew and moved
  bool mapRefused = false;
};

volatile uint8_t pageEnd = 0;

PageCosts MeasurePageCosts() {
  constexpr size_t kPage = 4096, kBytes = size_t(64) << 20, kPages = kBytes / kPage;
  auto fresh = [](size_t bytes) {
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<uint8_t*>(p);
  };
  auto writeEach = [](uint8_t* p) {
    const auto start = std::chrono::steady_clock::now();
    for (size_t i = 0; i < kPages; ++i) p[i * kPage] = 1;
    return Nanoseconds(start) / 1000.0 / kPages;
  };
  PageCosts c;
  uint8_t* a = fresh(kBytes);
  if (!a) return c;
  c.faulted = writeEach(a);
  ::munmap(a, kBytes);
  // The same amount again at once: most of it the pages just given back.
  uint8_t* b = fresh(kBytes);
  if (!b) return c;
  c.givenBack = writeEach(b);
  ::munmap(b, kBytes);
  uint8_t* m = fresh(kBytes);
  if (!m) return c;
  auto start = std::chrono::steady_clock::now();
  c.mapRefused = ::madvise(m, kBytes, MADV_POPULATE_WRITE) != 0;
  c.mapping = Nanoseconds(start) / 1000.0 / kPages;
  c.afterMap = writeEach(m);
  ::munmap(m, kBytes);
  // A mapping one page longer than 64 MiB, so that the move cannot carry whole 2-MiB page
  // tables along, grown to twice its size: the kernel moves it elsewhere.
  const size_t odd = kBytes + kPage;
  uint8_t* g = fresh(odd);
  if (!g) return c;
  writeEach(g);
  void* grown = ::mremap(g, odd, 2 * odd, MREMAP_MAYMOVE);
  if (grown == MAP_FAILED) {
    ::munmap(g, odd);
    return c;
  }
  g = static_cast<uint8_t*>(grown);
  start = std::chrono::steady_clock::now();
  uint8_t sum = 0;
  for (size_t i = 0; i < kPages; ++i) sum = uint8_t(sum + g[i * kPage]);
  c.moved = Nanoseconds(start) / 1000.0 / kPages;
  pageEnd = sum;
  ::munmap(g, 2 * odd);
  return c;
}

}  // namespace

int main() {
  // With one core the two sides would take turns a time slice at a time: nothing to measure.
  if (std::thread::hardware_concurrency() >= 2) {
    std::printf("cache line to the other core and back   %7.1f ns\n", RoundTripNanoseconds());
    std::printf("arithmetic on both cores over one alone  %7.2f x\n", BothCoresOverOne());
  } else {
    std::printf("cache line to the other core and back   (one core only)\n");
  }
  for (size_t mib : {1, 8, 24, 64})
    std::printf("dependent load in %3zu MiB                %7.1f ns\n", mib, DependentLoadNanoseconds(mib << 20));
  const PageCosts page = MeasurePageCosts();
  std::printf("fresh page, first write (fault)          %7.2f us\n", page.faulted);
  if (page.mapRefused) {
    std::printf("fresh page, mapped ahead                  (refused by the kernel)\n");
  } else {
    std::printf("fresh page, mapped ahead                 %7.2f us\n", page.mapping);
    std::printf("  then its first write                   %7.2f us\n", page.afterMap);
  }
  std::printf("page just given back, first write        %7.2f us\n", page.givenBack);
  std::printf("page moved as its mapping grew, read     %7.2f us\n", page.moved);
  return 0;
}
