// Serves a simulated module as a hidraw-like file through FUSE, with a small sysfs-like tree
// beside it, so that any program can open it as it would open /dev/hidrawN:
//
//   MOUNT/dev/hidraw0                               the device: one write() is one output
//                                                   report, read() gives one 64-byte input
//                                                   report, poll() says when one is there,
//                                                   and the hidraw ioctls answer as the kernel's
//   MOUNT/sys/class/hidraw/hidraw0/device/uevent    HID_ID=0003:00000451:00005F00
//   MOUNT/sys/class/hidraw/hidraw0/device/report_descriptor
//   MOUNT/control                                   write fault commands here (see below)
#pragma once

#include <memory>
#include <string>

#include "simulated_module.hpp"

namespace gpio_dll::sim {

struct ServeOptions {
  std::string mount_dir;  // created if missing
  bool verbose = false;
};

// Commands accepted by MOUNT/control, one per write: "silent", "answer", "silent-after N",
// "fail N STATUS" (the N-th request from now gets STATUS), "stuck SDA SCL" (0 or 1 each),
// "wrong-pec 0|1", "word REG VALUE" (a battery word register), "block REG HEX" (a battery block
// register, its bytes as hex digits). Returns false for a command it does not know.
bool apply_control_command(SimulatedModule& module, const std::string& command);

// Mounts, serves until SIGTERM, SIGINT or SIGHUP, unmounts. Returns a process exit status.
int serve(std::shared_ptr<SimulatedModule> module, const ServeOptions& options);

}  // namespace gpio_dll::sim
