// The per-thread module state that every method works on. Each client thread has its own, created
// empty on its first call; nothing in it is shared between threads.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/platform_port.hpp"
#include "base/thread_windows.hpp"
#include "gpio_dll/platform.hpp"

namespace gpio_dll {

// The module a thread chose among several; empty fields choose nothing, and the first module
// found is used.
struct ModuleChoice {
  std::string path;
  std::string serial_number;
};

// The access gate in front of the debug window.
struct AccessGateState {
  bool gate_passed = false;
  std::string challenge;
};

class ModuleState : public std::enable_shared_from_this<ModuleState> {
 public:
  ModuleState();
  ~ModuleState();
  ModuleState(const ModuleState&) = delete;
  ModuleState& operator=(const ModuleState&) = delete;

  // The calling thread's state. The shared form lets a window keep the state alive after its
  // thread has ended.
  static ModuleState& current();
  static std::shared_ptr<ModuleState> current_shared();

  bool module_present = false;
  std::string firmware_version;
  transport::Handle HIDHandle = transport::kInvalidHandle;   // writes and capability queries
  transport::Handle ReadHandle = transport::kInvalidHandle;  // overlapped reads
  std::string device_path;
  std::uint16_t InputReportByteLength = 0;
  std::uint16_t OutputReportByteLength = 0;
  transport::EventHandle read_event = transport::kNoEvent;
  std::shared_ptr<transport::ReadRequest> read_overlapped;
  std::int32_t last_api_result = 0;
  // The platform's error value read right after the most recent platform call.
  std::int32_t last_error = 0;
  std::uint8_t remembered_pec_mode = 0;  // 0 not yet set, 1 on, 2 off
  std::uint8_t MaxBytesRd = 0;
  std::uint8_t MaxBytesWr = 0;
  AccessGateState access_gate;
  ModuleChoice module_choice;
  // The thread's own platform, used in place of the process-wide one; null: the process-wide one.
  std::shared_ptr<transport::PlatformPort> platform_choice;
  // Why the last discovery that found no module could not open a device, if it could not.
  std::optional<platform::OpenFailure> last_open_failure;

  // The transaction in progress: while a method runs, the device lock taken at its first
  // exchange stays held until the method returns. The method's waits for the lock share one
  // deadline, set at its first wait; after a failed wait it sends nothing more.
  int transaction_depth = 0;
  transport::Handle locked_handle = transport::kInvalidHandle;
  std::optional<std::uint64_t> lock_deadline_ms;
  bool lock_refused = false;
  std::optional<platform::LockFailure> last_lock_failure;
  // This thread's mark in the module's record of its last user: while the record still holds
  // it, nobody else has used the module since this thread's last transaction.
  const std::uint64_t user_token;

  // The platform that the handles and the read event belong to; null before the first binding.
  const std::shared_ptr<transport::PlatformPort>& bound_port() const { return port_; }
  // Binds `port` for a new discovery. If it differs from the bound one, handles and event of the
  // old platform are dropped (closed first where open).
  void bind_port(std::shared_ptr<transport::PlatformPort> port);

  // The thread's debug window, created hidden at its first reference; creating it runs its
  // start-up, which identifies the module.
  DebugWindowSink& debug_window();
  DebugWindowSink* existing_debug_window() { return debug_window_.get(); }
  bool has_debug_window() const { return debug_window_ != nullptr; }
  // Unloads the window; the next reference creates it anew.
  void unload_debug_window();

  // The thread's access gate window; the diagnostics create it and give it to the state.
  ThreadWindow* access_gate_window() { return login_form_.get(); }
  void set_access_gate_window(std::unique_ptr<ThreadWindow> window);
  void unload_access_gate_window();

  // Held while a method of the object runs on the owning thread and while a window event runs,
  // so that the two never interleave.
  std::recursive_mutex operation_mutex;

 private:
  // Closes the handles and destroys the read event on the bound platform.
  void release_platform_resources();

  std::shared_ptr<transport::PlatformPort> port_;
  std::unique_ptr<DebugWindowSink> debug_window_;
  std::unique_ptr<ThreadWindow> login_form_;
};

}  // namespace gpio_dll
