// One exchange through the kernel with the module served by gpio-dll-sim: the component's
// exchange (GPIO_GetP0Line through the hidraw backend) beside the bare write, poll and read on
// the same node. Runs when GPIO_DLL_SERVED_DEVICE names the served node, for example
//   gpio-dll-sim serve --mount /tmp/sim &  GPIO_DLL_SERVED_DEVICE=/tmp/sim/dev/hidraw0
//   gpio_dll_bench
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>

#include "gpio_dll/gpio_dll.hpp"

namespace {

using namespace gpio_dll;

const char* served_device() {
  return std::getenv("GPIO_DLL_SERVED_DEVICE");
}

void BM_ServedBareWritePollRead(benchmark::State& state) {
  if (served_device() == nullptr) return state.SkipWithError("GPIO_DLL_SERVED_DEVICE not set");
  const int fd = open(served_device(), O_RDWR | O_NONBLOCK);
  if (fd < 0) return state.SkipWithError("cannot open the served device");
  std::uint8_t report[65] = {0x00, 0x2B, 0xFF};  // "2.0.19" get P0
  std::uint8_t answer[64];
  for (auto _ : state) {
    if (write(fd, report, sizeof report) != 65) return state.SkipWithError("write failed");
    pollfd p{fd, POLLIN, 0};
    poll(&p, 1, 6000);
    benchmark::DoNotOptimize(read(fd, answer, sizeof answer));
  }
  close(fd);
}
BENCHMARK(BM_ServedBareWritePollRead)->Unit(benchmark::kMicrosecond);

void BM_ServedComponentExchange(benchmark::State& state) {
  if (served_device() == nullptr) return state.SkipWithError("GPIO_DLL_SERVED_DEVICE not set");
  platform::use_hidraw_device(served_device());
  cls_GPIO_DLL dll;
  std::string fw, vid, pid;
  if (dll.GPIO_FW_VER_Read(fw, vid, pid) != OK || fw != "2.0.19")
    return state.SkipWithError("no 2.0.19 module at GPIO_DLL_SERVED_DEVICE");
  std::uint8_t lines = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(dll.GPIO_GetP0Line(lines));
  platform::use_system();
}
BENCHMARK(BM_ServedComponentExchange)->Unit(benchmark::kMicrosecond);

}  // namespace
