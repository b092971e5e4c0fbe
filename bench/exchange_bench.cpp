// The component's cost per exchange against the simulated module (zero latency, debug window
// hidden), beside the bare exchange through the platform port.
#include <benchmark/benchmark.h>

#include "gpio_dll/gpio_dll.hpp"
#include "interface/module_state.hpp"
#include "simulated_module.hpp"
#include "transport/device_discovery.hpp"
#include "transport/platform_registry.hpp"
#include "transport/report_exchange.hpp"

namespace {

using namespace gpio_dll;

sim::SimulatedSetup quiet_module() {
  auto setup = sim::install_simulated_module();
  setup.platform->set_recording(false);
  return setup;
}

// One output report written and one input report read through the port, nothing else.
void BM_BareSimulatedExchange(benchmark::State& state) {
  auto setup = quiet_module();
  auto port = transport::current_platform();
  const std::string path = setup.platform->device_path(setup.device);
  const auto write_handle = port->open(path, false);
  const auto read_handle = port->open(path, true);
  const auto event = port->create_event();
  std::vector<std::uint8_t> report(65, 0);
  report[1] = 0x01;
  auto request = std::make_shared<transport::ReadRequest>();
  request->area.assign(65, 0);
  for (auto _ : state) {
    std::uint32_t written = 0;
    port->write(write_handle, report, written);
    port->read(read_handle, request, event);
    benchmark::DoNotOptimize(port->wait(event, 6000));
    port->reset_event(event);
  }
  port->close(write_handle);
  port->close(read_handle);
  platform::use_system();
}
BENCHMARK(BM_BareSimulatedExchange);

// The component's exchange: request to answer, with its trace calls against a hidden window.
void BM_ComponentExchange(benchmark::State& state) {
  auto setup = quiet_module();
  ModuleState& module_state = ModuleState::current();
  module_state.debug_window();  // created and identified once, hidden
  transport::module_presence_check(module_state);
  std::vector<std::uint8_t> request(65, 0);
  request[0] = 0x01;
  for (auto _ : state)
    benchmark::DoNotOptimize(transport::exchange(module_state, request));
  platform::use_system();
}
BENCHMARK(BM_ComponentExchange);

}  // namespace

BENCHMARK_MAIN();
