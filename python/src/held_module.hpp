// The simulated module with a gate in front of it: while answers are held, every request waits
// at the module (on the thread that sent it, inside the component's call) until they are
// released. Tests use it to hold a call in progress at a point they choose, without waiting for
// real time: the gate opens when the test says so.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "simulated_module.hpp"

namespace gpio_dll::python {

class HeldModule : public sim::SimulatedModule {
 public:
  // A request held this long (real time) is let through anyway, so that a test whose releasing
  // side never runs fails instead of hanging; gate_expired() then says so.
  static constexpr std::chrono::seconds kGateLimit{20};

  using SimulatedModule::SimulatedModule;

  void on_output_report(std::span<const std::uint8_t> report, InputReportSink& sink) override {
    {
      std::unique_lock lock(gate_mutex_);
      if (held_) {
        ++waiting_;
        changed_.notify_all();
        if (!changed_.wait_for(lock, kGateLimit, [&] { return !held_; })) ++expired_;
        --waiting_;
      }
    }
    SimulatedModule::on_output_report(report, sink);
  }

  void hold() {
    std::lock_guard lock(gate_mutex_);
    held_ = true;
  }
  void release() {
    std::lock_guard lock(gate_mutex_);
    held_ = false;
    changed_.notify_all();
  }
  int waiting() const {
    std::lock_guard lock(gate_mutex_);
    return waiting_;
  }
  // Waits (real time, at most `limit`) until a request waits at the gate; false if none came.
  bool wait_for_request(std::chrono::milliseconds limit) {
    std::unique_lock lock(gate_mutex_);
    return changed_.wait_for(lock, limit, [&] { return waiting_ > 0; });
  }
  int gate_expired() const {
    std::lock_guard lock(gate_mutex_);
    return expired_;
  }

 private:
  mutable std::mutex gate_mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  int waiting_ = 0;
  int expired_ = 0;
};

}  // namespace gpio_dll::python
