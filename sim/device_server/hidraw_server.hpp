// Serves simulated modules as hidraw-like files through FUSE, with a small sysfs-like tree
// beside them, so that any program can open them as it would open /dev/hidrawN (shown for one
// module; module K of several is hidrawK):
//
//   MOUNT/dev/hidraw0                               the device: one write() is one output
//                                                   report, read() gives one 64-byte input
//                                                   report, poll() says when one is there,
//                                                   and the hidraw ioctls answer as the kernel's
//   MOUNT/sys/class/hidraw/hidraw0/device/uevent    HID_ID=0003:00000451:00005F00
//   MOUNT/sys/class/hidraw/hidraw0/device/report_descriptor
//   MOUNT/control                                   write fault commands here (see below)
//
// With more than one module, MOUNT/control-hidrawK takes the commands for module K (MOUNT/control
// stays module 0's). Every open file of MOUNT/dev/hidrawK receives every input report of module
// K, and only those.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "simulated_module.hpp"

namespace gpio_dll::sim {

struct ServeOptions {
  // Created if missing, and then removed again after unmounting; empty: a new folder under /tmp.
  std::string mount_dir;
  bool verbose = false;
};

// Ways the served node departs from the kernel's hidraw on purpose, so that a host's defences
// against a node that hands back nonsense can be tried. The defaults behave as the kernel does.
struct NodeFaults {
  int open_error = 0;                  // every open of the node fails with this errno value
  std::optional<int> descriptor_size;  // what HIDIOCGRDESCSIZE answers
  std::optional<std::uint32_t> descriptor_length;  // the size that HIDIOCGRDESC writes back
  // read() hands over exactly this many bytes of each report, whatever was asked for: cut short,
  // or filled up with 0xEE past the report's end.
  std::optional<std::size_t> report_length;
};

// The longest answer delay a served module takes: real time, which every host read waits out.
inline constexpr std::uint32_t kLongestAnswerDelayMs = 1000;

// Node commands accepted by MOUNT/control: "open-error ERRNO" (0: opens succeed),
// "descriptor-size N", "descriptor-length N", "report-length N", "kernel" (all back to the
// kernel's behaviour). Numbers in decimal or 0x hex. Returns false for anything else; throws
// std::invalid_argument with the reason for a known command with a bad argument, leaving the
// faults as they were.
bool apply_node_command(NodeFaults& faults, const std::string& command);

// Module commands accepted by MOUNT/control, one per write: "silent", "answer", "silent-after N",
// "fail N STATUS" (the N-th request from now gets STATUS), "stuck SDA SCL" (0 or 1 each),
// "wrong-pec 0|1", "word REG VALUE" (a battery word register), "block REG HEX" (a battery block
// register, its bytes as hex digits, at most 255), "answer-delay MS" (each answer MS after its
// request, at most kLongestAnswerDelayMs). Returns false for a command it does not know; throws
// std::invalid_argument with the reason ("MS out of range (0 to 1000): 5000") for a known command
// that cannot be carried out, leaving the module as it was.
bool apply_control_command(SimulatedModule& module, const std::string& command);

// Mounts, serves until SIGTERM, SIGINT or SIGHUP, unmounts. Refuses a folder where a file system
// is already mounted. Returns a process exit status.
int serve(std::shared_ptr<SimulatedModule> module, const ServeOptions& options);
// The same for several modules, module K as hidrawK.
int serve(const std::vector<std::shared_ptr<SimulatedModule>>& modules,
          const ServeOptions& options);

}  // namespace gpio_dll::sim
