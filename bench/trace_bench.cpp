// What the call trace's subscription costs: the same word read with nobody listening, with a
// listener of the calling thread, and with a listener of another thread only (the lines are then
// composed and dropped). Counters: lines_per_call is the lines a listener got per read.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <thread>

#include "gpio_dll/gpio_dll.hpp"
#include "simulated_module.hpp"

namespace {

using namespace gpio_dll;

// The calling thread identified, with the module open and the debug window hidden.
cls_GPIO_DLL& ready() {
  static cls_GPIO_DLL dll;
  auto setup = sim::install_simulated_module({.firmware_version = "2.0.19"});
  setup.platform->set_recording(false);
  setup.module->set_recording(false);
  std::string version, vid, pid;
  dll.GPIO_FW_VER_Read(version, vid, pid);
  return dll;
}

void read_words(benchmark::State& state, cls_GPIO_DLL& dll) {
  std::int16_t cmd = 0x09, target = 0x16;
  std::int32_t high = 0, low = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(dll.GPIO_ReadSMBusWord(cmd, high, low, target));
}

void BM_ReadWordNobodyListens(benchmark::State& state) {
  cls_GPIO_DLL& dll = ready();
  read_words(state, dll);
  platform::use_system();
}
BENCHMARK(BM_ReadWordNobodyListens);

void BM_ReadWordThisThreadListens(benchmark::State& state) {
  cls_GPIO_DLL& dll = ready();
  std::int64_t lines = 0;
  trace::Subscription listening(trace::Scope::this_thread, [&](std::string_view line) {
    benchmark::DoNotOptimize(line.data());
    ++lines;
  });
  read_words(state, dll);
  state.counters["lines_per_call"] =
      static_cast<double>(lines) / static_cast<double>(state.iterations());
  platform::use_system();
}
BENCHMARK(BM_ReadWordThisThreadListens);

void BM_ReadWordAnotherThreadListens(benchmark::State& state) {
  cls_GPIO_DLL& dll = ready();
  trace::Subscription elsewhere;
  std::thread([&] {
    elsewhere = trace::Subscription(trace::Scope::this_thread, [](std::string_view) {});
  }).join();
  read_words(state, dll);
  platform::use_system();
}
BENCHMARK(BM_ReadWordAnotherThreadListens);

}  // namespace
