// One exchange through the kernel with the module served by gpio-dll-sim: the component's
// exchange (GPIO_GetP0Line through the hidraw backend) beside the bare write, poll and read on
// the same node, in two separate loops and interleaved batch by batch. These run when
// GPIO_DLL_SERVED_DEVICE names the served node, for example
//   gpio-dll-sim serve --mount /tmp/sim &  GPIO_DLL_SERVED_DEVICE=/tmp/sim/dev/hidraw0
//   gpio_dll_bench
// BM_ServedModulesThroughput starts 1, 2 and 4 served modules itself (root and /dev/fuse) and
// drives each from a process of its own; BM_ServedModulesThreadThroughput serves as many from one
// gpio-dll-sim (--modules N) and drives each from a thread of one process, which picks its module
// by serial number.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

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

using Clock = std::chrono::steady_clock;

double us_since(Clock::time_point start) {
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// Batches of bare exchanges and of the component's exchanges, alternating (A B A B ...), so
// that both see the same machine load; the median of the per-pair ratios.
void BM_ServedInterleaved(benchmark::State& state) {
  if (served_device() == nullptr) return state.SkipWithError("GPIO_DLL_SERVED_DEVICE not set");
  platform::use_hidraw_device(served_device());
  constexpr int kBatch = 50;
  constexpr int kPairs = 40;
  std::vector<double> bare, component, ratios;
  bool failed = false;
  for (auto _ : state)
    std::thread([&] {
      cls_GPIO_DLL dll;
      std::string fw, vid, pid;
      if (dll.GPIO_FW_VER_Read(fw, vid, pid) != OK || fw != "2.0.19") return void(failed = true);
      std::uint8_t lines = 0;
      std::uint8_t report[65] = {0x00, 0x2B, 0xFF};  // "2.0.19" get P0
      std::uint8_t answer[64];
      for (int pair = 0; pair < kPairs && !failed; ++pair) {
        // A file of its own per batch: it holds no answers to the component's requests.
        const int fd = open(served_device(), O_RDWR | O_NONBLOCK);
        if (fd < 0) return void(failed = true);
        auto start = Clock::now();
        for (int i = 0; i < kBatch; ++i) {
          if (write(fd, report, sizeof report) != 65) failed = true;
          pollfd p{fd, POLLIN, 0};
          poll(&p, 1, 6000);
          benchmark::DoNotOptimize(read(fd, answer, sizeof answer));
        }
        bare.push_back(us_since(start) / kBatch);
        close(fd);
        // Untimed: discards the bare batch's answers, which reached the component's file too.
        dll.GPIO_GetP0Line(lines);
        start = Clock::now();
        for (int i = 0; i < kBatch; ++i)
          if (dll.GPIO_GetP0Line(lines) != OK) failed = true;
        component.push_back(us_since(start) / kBatch);
        ratios.push_back(component.back() / bare.back());
      }
    }).join();
  platform::use_system();
  if (failed) return state.SkipWithError("the served module did not answer");
  state.counters["bare_us"] = median(bare);
  state.counters["component_us"] = median(component);
  state.counters["median_ratio"] = median(ratios);
}
BENCHMARK(BM_ServedInterleaved)->Iterations(1)->Unit(benchmark::kMillisecond);

// One gpio-dll-sim serve process on a folder of its own, serving `modules` modules.
class ServedModule {
 public:
  bool start(int modules = 1) {
    char pattern[] = "/tmp/gpio-dll-bench.XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    dir_ = pattern;
    int out[2];
    if (pipe(out) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], STDOUT_FILENO);
      close(out[0]);
      const std::string count = std::to_string(modules);
      execl(GPIO_DLL_SIM, GPIO_DLL_SIM, "serve", "--fw", "2.0.19", "--modules", count.c_str(),
            "--mount", dir_.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    std::string text;
    char buffer[256];
    while (text.find("control:") == std::string::npos) {
      pollfd p{out[0], POLLIN, 0};
      if (poll(&p, 1, 10000) <= 0) break;
      const ssize_t n = read(out[0], buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    return text.find("control:") != std::string::npos;
  }
  std::string node() const { return dir_ + "/dev/hidraw0"; }
  const std::string& dir() const { return dir_; }
  ~ServedModule() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

 private:
  std::string dir_;
  pid_t pid_ = -1;
};

// Runs in a child: identifies the module at `node`, says so, waits for the start, does
// `calls` GPIO_ReadSMBusWord and exits with 0 when every one succeeded.
[[noreturn]] void drive(const std::string& node, int calls, int ready_fd, int go_fd) {
  platform::use_hidraw_device(node);
  int status = 1;
  std::thread([&] {
    cls_GPIO_DLL dll;
    std::string fw, vid, pid;
    const bool identified = dll.GPIO_FW_VER_Read(fw, vid, pid) == OK;
    if (write(ready_fd, "r", 1) != 1 || !identified) return;
    char c;
    while (read(go_fd, &c, 1) > 0) {
    }
    std::int16_t cmd = 0x0D, target = 0x16;
    std::int32_t high = 0, low = 0;
    for (int i = 0; i < calls; ++i)
      if (dll.GPIO_ReadSMBusWord(cmd, high, low, target) != OK) return;
    status = 0;
  }).join();
  _exit(status);
}

// N served modules, each driven by its own process: transactions per second, all together.
void BM_ServedModulesThroughput(benchmark::State& state) {
  if (geteuid() != 0 || access("/dev/fuse", R_OK | W_OK) != 0)
    return state.SkipWithError("needs root and /dev/fuse");
  const int modules = static_cast<int>(state.range(0));
  constexpr int kCalls = 4000;
  std::vector<ServedModule> served(static_cast<std::size_t>(modules));
  for (auto& m : served)
    if (!m.start()) return state.SkipWithError("gpio-dll-sim serve did not start");
  double seconds = 0;
  bool ok = true;
  for (auto _ : state) {
    int ready[2], go[2];
    if (pipe(ready) != 0 || pipe(go) != 0) return state.SkipWithError("pipe");
    std::vector<pid_t> children;
    for (const auto& m : served) {
      const pid_t child = fork();
      if (child == 0) {
        close(ready[0]);
        close(go[1]);
        drive(m.node(), kCalls, ready[1], go[0]);
      }
      children.push_back(child);
    }
    close(ready[1]);
    close(go[0]);
    char c;
    for (int i = 0; i < modules; ++i)
      if (read(ready[0], &c, 1) != 1) ok = false;
    const auto start = Clock::now();
    close(go[1]);
    for (const pid_t child : children) {
      int status = 0;
      waitpid(child, &status, 0);
      ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    seconds += us_since(start) / 1e6;
    close(ready[0]);
  }
  if (!ok) return state.SkipWithError("a module's transactions failed");
  const double total = static_cast<double>(state.iterations()) * modules * kCalls;
  state.counters["transactions_per_s"] = total / seconds;
  state.counters["per_module_per_s"] = total / seconds / modules;
}
BENCHMARK(BM_ServedModulesThroughput)
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// N modules, each driven by its own thread of this process (the thread picks its module by
// serial number): transactions per second, all together. Served by one gpio-dll-sim with
// --modules N (second argument 0), or by one gpio-dll-sim per module whose nodes are gathered
// into one tree of symbolic links (second argument 1).
void BM_ServedModulesThreadThroughput(benchmark::State& state) {
  if (geteuid() != 0 || access("/dev/fuse", R_OK | W_OK) != 0)
    return state.SkipWithError("needs root and /dev/fuse");
  const int modules = static_cast<int>(state.range(0));
  const bool server_per_module = state.range(1) != 0;
  constexpr int kCalls = 4000;
  std::vector<ServedModule> served(server_per_module ? static_cast<std::size_t>(modules) : 1);
  for (auto& m : served)
    if (!m.start(server_per_module ? 1 : modules))
      return state.SkipWithError("gpio-dll-sim serve did not start");
  std::vector<std::string> serials;
  for (int k = 1; k <= modules; ++k) {
    char serial[16];
    std::snprintf(serial, sizeof serial, "SIM%04d", k);
    serials.push_back(serial);
  }
  std::filesystem::path tree = served[0].dir();
  if (server_per_module) {
    // Every server calls its module SIM0001: the threads pick theirs by node instead.
    tree = served[0].dir() + "-tree";
    std::filesystem::create_directories(tree / "sys/class/hidraw");
    std::filesystem::create_directories(tree / "dev");
    for (int k = 0; k < modules; ++k) {
      const std::filesystem::path from = served[static_cast<std::size_t>(k)].dir();
      const std::string name = "hidraw" + std::to_string(k);
      std::filesystem::create_directory_symlink(from / "sys/class/hidraw/hidraw0",
                                                tree / "sys/class/hidraw" / name);
      std::filesystem::create_symlink(from / "dev/hidraw0", tree / "dev" / name);
    }
  }
  platform::use_hidraw(tree / "sys/class/hidraw", tree / "dev");
  double seconds = 0;
  std::atomic<int> failures = 0;
  for (auto _ : state) {
    std::atomic<int> ready = 0;
    std::atomic<bool> go = false;
    std::vector<std::thread> threads;
    for (int k = 1; k <= modules; ++k)
      threads.emplace_back([&, k] {
        if (server_per_module)
          platform::use_module_at((tree / "dev" / ("hidraw" + std::to_string(k - 1))).string());
        else
          platform::use_module_with_serial(serials[static_cast<std::size_t>(k - 1)]);
        cls_GPIO_DLL dll;
        std::string fw, vid, pid;
        if (dll.GPIO_FW_VER_Read(fw, vid, pid) != OK) ++failures;
        ++ready;
        while (!go)
          std::this_thread::yield();
        std::int16_t cmd = 0x0D, target = 0x16;
        std::int32_t high = 0, low = 0;
        for (int i = 0; i < kCalls; ++i)
          if (dll.GPIO_ReadSMBusWord(cmd, high, low, target) != OK) ++failures;
      });
    while (ready < modules)
      std::this_thread::yield();
    const auto start = Clock::now();
    go = true;
    for (auto& t : threads)
      t.join();
    seconds += us_since(start) / 1e6;
  }
  platform::use_system();
  if (server_per_module) std::filesystem::remove_all(tree);
  if (failures != 0) return state.SkipWithError("a module's transactions failed");
  const double total = static_cast<double>(state.iterations()) * modules * kCalls;
  state.counters["transactions_per_s"] = total / seconds;
  state.counters["per_module_per_s"] = total / seconds / modules;
}
BENCHMARK(BM_ServedModulesThreadThroughput)
    ->ArgNames({"modules", "server_per_module"})
    ->ArgsProduct({{1, 2, 4}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
