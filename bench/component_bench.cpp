// The component's own cost per exchange against the simulated module (zero latency, debug
// window hidden), beside the bare exchange through the platform port in the same run.
//
// Counters: ns_per_exchange is the wall time of the calls divided by the reports exchanged;
// bare_ns is one bare exchange (a report written and one read through the port, nothing else);
// ratio is ns_per_exchange / bare_ns; component_ns is their difference, the component's share.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>

#include "base/module_state.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "simulated_module.hpp"
#include "transport/platform_registry.hpp"

namespace {

using namespace gpio_dll;
using Clock = std::chrono::steady_clock;

sim::SimulatedSetup quiet_module(const char* fw) {
  auto setup = sim::install_simulated_module({.firmware_version = fw});
  setup.platform->set_recording(false);
  setup.module->set_recording(false);
  return setup;
}

double elapsed_ns(Clock::time_point start) {
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count();
}

// One bare exchange through the port, averaged over many.
double bare_exchange_ns() {
  static const double measured = [] {
    auto setup = quiet_module("2.0.19");
    auto port = transport::current_platform();
    const std::string path = setup.platform->device_path(setup.device);
    const auto write_handle = port->open(path, false);
    const auto read_handle = port->open(path, true);
    const auto event = port->create_event();
    std::vector<std::uint8_t> report(65, 0);
    report[1] = 0x2B;
    report[2] = 0xFF;
    auto request = std::make_shared<transport::ReadRequest>();
    request->area.assign(65, 0);
    constexpr int kRounds = 200000;
    const auto start = Clock::now();
    for (int i = 0; i < kRounds; ++i) {
      std::uint32_t written = 0;
      port->write(write_handle, report, written);
      port->read(read_handle, request, event);
      benchmark::DoNotOptimize(port->wait(event, 6000));
      port->reset_event(event);
    }
    const double ns = elapsed_ns(start) / kRounds;
    port->close(write_handle);
    port->close(read_handle);
    platform::use_system();
    return ns;
  }();
  return measured;
}

void report(benchmark::State& state, double ns, std::int64_t exchanges) {
  const double per_exchange = ns / static_cast<double>(exchanges);
  const double bare = bare_exchange_ns();
  state.counters["ns_per_exchange"] = per_exchange;
  state.counters["bare_ns"] = bare;
  state.counters["component_ns"] = per_exchange - bare;
  state.counters["ratio"] = per_exchange / bare;
}

// An identified thread with the module open and PEC off already switched, window hidden.
cls_GPIO_DLL& ready(const char* fw) {
  static cls_GPIO_DLL dll;
  quiet_module(fw);
  std::string version, vid, pid;
  dll.GPIO_FW_VER_Read(version, vid, pid);
  std::int16_t cmd = 0x0D, target = 0x16;
  std::int32_t high = 0, low = 0;
  dll.GPIO_ReadSMBusWord(cmd, high, low, target);
  return dll;
}

void BM_BareExchange(benchmark::State& state) {
  for (auto _ : state)
    benchmark::DoNotOptimize(bare_exchange_ns());
  state.counters["bare_ns"] = bare_exchange_ns();
}
BENCHMARK(BM_BareExchange)->Iterations(1);

void BM_ReadSMBusWord(benchmark::State& state) {
  cls_GPIO_DLL& dll = ready("2.0.19");
  std::int16_t cmd = 0x0D, target = 0x16;
  std::int32_t high = 0, low = 0;
  std::int64_t exchanges = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    benchmark::DoNotOptimize(dll.GPIO_ReadSMBusWord(cmd, high, low, target));
    ++exchanges;
  }
  report(state, elapsed_ns(start), exchanges);
  platform::use_system();
}
BENCHMARK(BM_ReadSMBusWord);

void BM_WriteSMBusBlock120(benchmark::State& state) {
  cls_GPIO_DLL& dll = ready("2.0.19");
  std::int16_t cmd = 0x44, target = 0x16;
  ByteArray data(120, 0x5A);
  std::int64_t exchanges = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    std::int16_t count = 120;
    benchmark::DoNotOptimize(dll.GPIO_WriteSMBusBlock(cmd, data, count, target));
    exchanges += 2;  // two segments
  }
  report(state, elapsed_ns(start), exchanges);
  platform::use_system();
}
BENCHMARK(BM_WriteSMBusBlock120);

void BM_FwEepRead(benchmark::State& state) {
  cls_GPIO_DLL& dll = ready("2.0.19");
  std::string fw = "2.0.19";
  ByteArray image;
  std::int64_t exchanges = 0;
  const auto start = Clock::now();
  for (auto _ : state) {
    benchmark::DoNotOptimize(dll.GPIO_FW_EEP_Read(fw, image));
    exchanges += 256;
  }
  report(state, elapsed_ns(start), exchanges);
  platform::use_system();
}
BENCHMARK(BM_FwEepRead);

// A million transactions must not grow the heap: everything per call is reused or freed.
void BM_HeapOverAMillionTransactions(benchmark::State& state) {
  cls_GPIO_DLL& dll = ready("2.0.19");
  std::int16_t cmd = 0x0D, target = 0x16;
  std::int32_t high = 0, low = 0;
  for (int i = 0; i < 10000; ++i)
    dll.GPIO_ReadSMBusWord(cmd, high, low, target);
  const auto before = mallinfo2().uordblks;
  for (auto _ : state)
    for (int i = 0; i < 1000000; ++i)
      dll.GPIO_ReadSMBusWord(cmd, high, low, target);
  const auto after = mallinfo2().uordblks;
  state.counters["heap_growth_bytes"] = static_cast<double>(after) - static_cast<double>(before);
  platform::use_system();
}
BENCHMARK(BM_HeapOverAMillionTransactions)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
