// Helpers shared by the tests: fresh threads (each has a fresh module state) and a simulated
// module installed as the component's platform for the length of a test.
#pragma once

#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <thread>
#include <vector>

#include "base/module_state.hpp"
#include "base/system_error_text.hpp"
#include "gpio_dll/gpio_dll.hpp"
#include "simulated_module.hpp"
#include "support/fresh_thread.hpp"

namespace gpio_dll {

// Readable values in test failures.
inline void PrintTo(const Variant& v, std::ostream* os) {
  switch (v.type()) {
    case Variant::Type::Empty:
      *os << "Empty";
      break;
    case Variant::Type::Text:
      *os << '"' << v.to_text() << '"';
      break;
    case Variant::Type::Bytes:
      *os << "Bytes(" << v.to_bytes().size() << ")";
      break;
    default:
      *os << v.to_text();
  }
}

}  // namespace gpio_dll

namespace gpio_dll::testing {

// A test with the simulated module as the component's platform.
class SimulatedModuleTest : public ::testing::Test {
 protected:
  void install(sim::ModuleConfig config = {}) { setup_ = sim::install_simulated_module(config); }
  void SetUp() override { install(); }
  void TearDown() override { platform::use_system(); }

  SimulatedPlatform& platform() { return *setup_.platform; }
  sim::SimulatedModule& module() { return *setup_.module; }
  SimulatedPlatform::DeviceId device() const { return setup_.device; }

  // The requests that reached the module (report identifier dropped), oldest first.
  std::vector<std::vector<std::uint8_t>> requests() const { return setup_.module->requests(); }

  // Installs a module with firmware `fw` and runs `body` on a fresh thread that has identified
  // it; `mark()` then counts from after the identification.
  template <class F>
  void with_identified(const std::string& fw, F&& body) {
    TearDown();
    install({.firmware_version = fw});
    on_fresh_thread([&] {
      std::string version, vid, pid;
      ASSERT_EQ(cls_GPIO_DLL().GPIO_FW_VER_Read(version, vid, pid), OK);
      ASSERT_EQ(version, fw);
      mark();
      body();
    });
  }
  void mark() { mark_ = requests().size(); }
  // Requests sent since the last mark, each cut to its first `n` bytes.
  std::vector<std::vector<std::uint8_t>> sent(std::size_t n = 64) const {
    std::vector<std::vector<std::uint8_t>> out;
    const auto all = requests();
    for (std::size_t i = mark_; i < all.size(); ++i)
      out.emplace_back(all[i].begin(),
                       all[i].begin() + static_cast<std::ptrdiff_t>(std::min(n, all[i].size())));
    return out;
  }

  std::size_t mark_ = 0;

  sim::SimulatedSetup setup_;
};

using Requests = std::vector<std::vector<std::uint8_t>>;

inline std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
  std::vector<std::uint8_t> out;
  for (int v : values)
    out.push_back(static_cast<std::uint8_t>(v));
  return out;
}

// The first `n` bytes of a request, for comparing against a layout.
inline std::vector<std::uint8_t> head(const std::vector<std::uint8_t>& request, std::size_t n) {
  return {request.begin(),
          request.begin() + static_cast<std::ptrdiff_t>(std::min(n, request.size()))};
}

// Whether `lines` holds `wanted` as a contiguous run.
inline bool contains_run(const std::vector<std::string>& lines,
                         const std::vector<std::string>& wanted) {
  return std::search(lines.begin(), lines.end(), wanted.begin(), wanted.end()) != lines.end();
}

}  // namespace gpio_dll::testing
