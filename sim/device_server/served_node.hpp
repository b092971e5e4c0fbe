// One served module with the open files of its node, as the kernel's hidraw keeps them: each open
// file has its own queue of input reports and its reads waiting for one; every input report of
// the module reaches every open file of its node and of no other, at once or, with an answer
// delay, when it falls due.
#pragma once

#define FUSE_USE_VERSION 35

#include <fuse_lowlevel.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "hidraw_server.hpp"
#include "simulated_module.hpp"

namespace gpio_dll::sim {

// One open of the device file.
struct OpenFile {
  bool nonblocking = false;
  std::deque<std::vector<std::uint8_t>> queue;  // reports not yet read, without the identifier
  std::deque<std::pair<fuse_req_t, std::size_t>> waiting_reads;  // deferred, with the size asked
  fuse_pollhandle* poll_handle = nullptr;
};

class ServedNode {
 public:
  using Clock = std::chrono::steady_clock;

  explicit ServedNode(std::shared_ptr<SimulatedModule> module) : module_(std::move(module)) {}

  SimulatedModule& module() { return *module_; }
  std::map<std::uint64_t, OpenFile>& files() { return files_; }
  void open_file(std::uint64_t fh, bool nonblocking) { files_[fh].nonblocking = nonblocking; }
  // Answers the waiting reads of `fh` with EINTR and forgets the file.
  void release(std::uint64_t fh);
  // A waiting read whose caller gave up (a signal): answered with EINTR so the caller can go on.
  // False if no file of this node waits with it.
  bool interrupt(fuse_req_t req);

  // One output report written to the node (identifier first): the module's answers go out through
  // this node, each `delay_ms` of real time after it as the module asks.
  void write(std::span<const std::uint8_t> report);
  // When the next delayed report falls due, if one waits.
  std::optional<Clock::time_point> next_due() const;
  // Delivers the delayed reports due by `now`.
  void deliver_due(Clock::time_point now);

  // What a read hands over of `report`: as much as was asked for, or what the faults say.
  std::vector<std::uint8_t> reply_bytes(const std::vector<std::uint8_t>& report,
                                        std::size_t asked) const;

  std::string control_status;  // what reading the control file gives: the last command's outcome
  NodeFaults faults;

 private:
  class Sink;
  // A report the module sends: delivered at once without a delay and with none waiting, else
  // queued behind the others, so that reports arrive in the order they were sent.
  void send(std::vector<std::uint8_t> report, std::uint32_t delay_ms);
  // To every open file: a waiting read takes it, else the file's queue (the oldest report goes
  // when it is full) and a poll is told. hidraw hands unnumbered reports over without their
  // identifier byte.
  void deliver(std::vector<std::uint8_t> report);

  std::shared_ptr<SimulatedModule> module_;
  std::map<std::uint64_t, OpenFile> files_;
  std::deque<std::pair<Clock::time_point, std::vector<std::uint8_t>>> delayed_;
};

}  // namespace gpio_dll::sim
