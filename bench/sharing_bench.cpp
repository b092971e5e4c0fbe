// What sharing a module costs and what it leaves behind, on the simulated platform:
// - the transaction lock, the record of the module's last user and the stale-report discard of
//   one uncontended method, measured alone beside a whole GPIO_ReadSMBusWord in the same run,
//   which for one user alone is one exchange (no PEC mode exchange);
// - the process after 100,000 short threads that each identify the module: heap and resident
//   size per thread, and no handle or event left on the platform.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "gpio_dll/gpio_dll.hpp"
#include "simulated_module.hpp"
#include "transport/platform_registry.hpp"

namespace {

using namespace gpio_dll;
using Clock = std::chrono::steady_clock;

sim::SimulatedSetup quiet_module() {
  auto setup = sim::install_simulated_module({.firmware_version = "2.0.19"});
  setup.platform->set_recording(false);
  setup.module->set_recording(false);
  return setup;
}

double ns_since(Clock::time_point start) {
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// flush_input + lock_device + swap_last_user + unlock_device, as one uncontended method does
// them, beside a whole GPIO_ReadSMBusWord (one exchange) measured in the same run.
void BM_LockAndDiscardUncontended(benchmark::State& state) {
  auto setup = quiet_module();
  auto port = transport::current_platform();
  const std::string path = setup.platform->device_path(setup.device);
  const auto write_handle = port->open(path, false);
  const auto read_handle = port->open(path, true);
  std::int64_t rounds = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    benchmark::DoNotOptimize(port->flush_input(read_handle));
    benchmark::DoNotOptimize(port->lock_device(write_handle, 15000));
    benchmark::DoNotOptimize(port->swap_last_user(write_handle, 1));
    port->unlock_device(write_handle);
    ++rounds;
  }
  const double lock_ns = ns_since(start) / static_cast<double>(rounds);
  port->close(write_handle);
  port->close(read_handle);

  double word_ns = 0;
  double exchanges = 0;
  std::thread([&] {
    cls_GPIO_DLL dll;
    std::string fw, vid, pid;
    dll.GPIO_FW_VER_Read(fw, vid, pid);
    std::int16_t cmd = 0x0D, target = 0x16;
    std::int32_t high = 0, low = 0;
    dll.GPIO_ReadSMBusWord(cmd, high, low, target);
    // Exchanges per read, counted over a few reads with the module's record on.
    constexpr int kCounted = 1000;
    setup.module->set_recording(true);
    const auto before = setup.module->requests().size();
    for (int i = 0; i < kCounted; ++i)
      dll.GPIO_ReadSMBusWord(cmd, high, low, target);
    exchanges = static_cast<double>(setup.module->requests().size() - before) / kCounted;
    setup.module->set_recording(false);
    constexpr int kCalls = 200000;
    const auto begin = Clock::now();
    for (int i = 0; i < kCalls; ++i)
      benchmark::DoNotOptimize(dll.GPIO_ReadSMBusWord(cmd, high, low, target));
    word_ns = ns_since(begin) / kCalls;
  }).join();
  platform::use_system();
  state.counters["lock_discard_ns"] = lock_ns;
  state.counters["read_word_ns"] = word_ns;
  state.counters["share"] = lock_ns / word_ns;
  state.counters["exchanges_per_read"] = exchanges;
}
BENCHMARK(BM_LockAndDiscardUncontended);

long resident_bytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// 100,000 threads, one after another, each identifying the module and ending: the process's
// heap and resident size stay put, and the platform keeps no handle or event of theirs.
void BM_HundredThousandThreads(benchmark::State& state) {
  auto setup = quiet_module();
  auto one_thread = [] {
    std::thread([] {
      std::string fw, vid, pid;
      benchmark::DoNotOptimize(cls_GPIO_DLL().GPIO_FW_VER_Read(fw, vid, pid));
    }).join();
  };
  for (int i = 0; i < 1000; ++i)  // warm-up: arenas, caches, the platform's tables
    one_thread();
  constexpr int kThreads = 100000;
  const auto heap_before = mallinfo2().uordblks;
  const long rss_before = resident_bytes();
  for (auto _ : state)
    for (int i = 0; i < kThreads; ++i)
      one_thread();
  const auto heap_after = mallinfo2().uordblks;
  const long rss_after = resident_bytes();
  state.counters["heap_bytes_per_thread"] =
      (static_cast<double>(heap_after) - static_cast<double>(heap_before)) / kThreads;
  state.counters["rss_growth_bytes"] = static_cast<double>(rss_after - rss_before);
  state.counters["open_handles"] = static_cast<double>(setup.platform->open_handle_count());
  state.counters["events"] = static_cast<double>(setup.platform->event_count());
  const bool left_something =
      setup.platform->open_handle_count() != 0 || setup.platform->event_count() != 0;
  platform::use_system();
  if (left_something) state.SkipWithError("ended threads left handles or events open");
}
BENCHMARK(BM_HundredThousandThreads)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
