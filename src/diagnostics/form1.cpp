#include "diagnostics/form1.hpp"

#include "interface/identification.hpp"
#include "interface/module_state.hpp"
#include "interface/result_messages.hpp"

namespace gpio_dll::diagnostics {

Form1::Form1(ModuleState& owner) : owner_(owner) {}

void Form1::startup() {
  for (auto& field : Text3)
    field.clear();
  owner_.access_gate.gate_passed = false;
  Text16.clear();

  std::string vendor;
  std::string product;
  owner_.firmware_version.clear();
  const std::int32_t result = identify_module(owner_, owner_.firmware_version, vendor, product);
  Text3[1] = vendor;
  Text3[2] = product;
  Text3[3] = owner_.firmware_version;
  Text16 = result_message(result, owner_.MaxBytesRd, owner_.MaxBytesWr);
}

void Form1::add_trace_line(std::string line) {
  if (trace_observer_) trace_observer_(line);
  ListBox1.add(std::move(line));
}

}  // namespace gpio_dll::diagnostics
