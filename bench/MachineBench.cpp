// What the machine charges for the costs that decide how the read can be split: handing a
// cache line from one core to the other and back, a load that depends on the one before
// it in tables of growing size, and whether the two cores are two cores at all: a virtual
// machine's two cores may be the two threads of one physical core, which then do about
// 1.2 times the work of one, not twice. The read loop reads ahead on a second core only
// where a frame's handover costs less than the work it takes off the analyser.
//
//   korvane-machine-bench
#include <pthread.h>
#include <sched.h>

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
  return 0;
}
