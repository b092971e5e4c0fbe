// The FUSE side of the device server: a fixed tree of inodes, hidraw semantics on the device
// file, the hidraw ioctls, and the control file. Low-level API, one thread: a read that finds no
// report waits (its reply is deferred) until a write produces one.
#define FUSE_USE_VERSION 35

#include "hidraw_server.hpp"

#include <fuse_lowlevel.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iostream>
#include <map>
#include <vector>

namespace gpio_dll::sim {

namespace {

constexpr std::size_t kQueuedReportLimit = 64;  // per open file, like the kernel's hidraw
constexpr double kAttributeTimeout = 1.0;

enum Ino : fuse_ino_t {
  kRoot = FUSE_ROOT_ID,
  kDevDir,
  kHidraw0,
  kSysDir,
  kClassDir,
  kHidrawClassDir,
  kClassEntry,
  kDeviceDir,
  kUevent,
  kReportDescriptor,
  kControl,
};

struct Node {
  fuse_ino_t parent;
  const char* name;
  bool directory;
  mode_t mode;
};

const std::map<fuse_ino_t, Node> kTree = {
    {kRoot, {kRoot, "", true, 0755}},
    {kDevDir, {kRoot, "dev", true, 0755}},
    {kHidraw0, {kDevDir, "hidraw0", false, 0660}},
    {kSysDir, {kRoot, "sys", true, 0755}},
    {kClassDir, {kSysDir, "class", true, 0755}},
    {kHidrawClassDir, {kClassDir, "hidraw", true, 0755}},
    {kClassEntry, {kHidrawClassDir, "hidraw0", true, 0755}},
    {kDeviceDir, {kClassEntry, "device", true, 0755}},
    {kUevent, {kDeviceDir, "uevent", false, 0444}},
    {kReportDescriptor, {kDeviceDir, "report_descriptor", false, 0444}},
    {kControl, {kRoot, "control", false, 0600}},
};

std::string uevent_text(const SimulatedModule& module) {
  const std::string serial_number = module.serial_number();
  return "DRIVER=hid-generic\nHID_ID=0003:00000451:00005F00\nHID_NAME=" + module.product_name() +
         "\nHID_PHYS=usb-simulated-1/input0\nHID_UNIQ=" + serial_number +
         "\nMODALIAS=hid:b0003g0001v00000451p00005F00\n";
}

// A text ioctl's answer: the text cut to the caller's buffer, with its terminating zero.
void reply_text(fuse_req_t req, const std::string& text, std::size_t out_size) {
  const std::size_t n = std::min(out_size, text.size() + 1);
  std::vector<char> out(n, 0);
  std::copy_n(text.begin(), std::min(n, text.size()), out.begin());
  fuse_reply_ioctl(req, static_cast<int>(n), out.data(), n);
}

// One open of the device file, with its own queue of input reports.
struct OpenFile {
  bool nonblocking = false;
  std::deque<std::vector<std::uint8_t>> queue;
  std::deque<std::pair<fuse_req_t, std::size_t>> waiting_reads;
  fuse_pollhandle* poll_handle = nullptr;
};

class Server;

class Sink final : public InputReportSink {
 public:
  explicit Sink(Server& server) : server_(server) {}
  void send_input_report(std::vector<std::uint8_t> report, std::uint32_t) override;

 private:
  Server& server_;
};

class Server {
 public:
  explicit Server(std::shared_ptr<SimulatedModule> module) : module_(std::move(module)) {}

  SimulatedModule& module() { return *module_; }
  std::map<std::uint64_t, OpenFile>& files() { return files_; }
  std::uint64_t open_file(bool nonblocking) {
    const std::uint64_t fh = next_fh_++;
    files_[fh].nonblocking = nonblocking;
    return fh;
  }

  // hidraw hands unnumbered reports over without their identifier byte.
  void deliver(std::vector<std::uint8_t> report) {
    if (!report.empty()) report.erase(report.begin());
    for (auto& [fh, file] : files_) {
      if (!file.waiting_reads.empty()) {
        auto [req, size] = file.waiting_reads.front();
        file.waiting_reads.pop_front();
        const auto reply = reply_bytes(report, size);
        fuse_reply_buf(req, reinterpret_cast<const char*>(reply.data()), reply.size());
        continue;
      }
      if (file.queue.size() == kQueuedReportLimit) file.queue.pop_front();
      file.queue.push_back(report);
      if (file.poll_handle != nullptr) {
        fuse_lowlevel_notify_poll(file.poll_handle);
        fuse_pollhandle_destroy(file.poll_handle);
        file.poll_handle = nullptr;
      }
    }
  }

  void release(std::uint64_t fh) {
    auto it = files_.find(fh);
    if (it == files_.end()) return;
    for (auto& [req, size] : it->second.waiting_reads)
      fuse_reply_err(req, EINTR);
    if (it->second.poll_handle != nullptr) fuse_pollhandle_destroy(it->second.poll_handle);
    files_.erase(it);
  }

  // A waiting read whose caller gave up (a signal): answer it so the caller can go on.
  void interrupt(fuse_req_t req) {
    for (auto& [fh, file] : files_)
      for (auto it = file.waiting_reads.begin(); it != file.waiting_reads.end(); ++it)
        if (it->first == req) {
          file.waiting_reads.erase(it);
          fuse_reply_err(req, EINTR);
          return;
        }
  }

  // What a read hands over of `report`: as much as was asked for, or what the faults say.
  std::vector<std::uint8_t> reply_bytes(const std::vector<std::uint8_t>& report,
                                        std::size_t asked) const {
    std::vector<std::uint8_t> reply = report;
    if (faults.report_length)
      reply.resize(*faults.report_length, 0xEE);
    else
      reply.resize(std::min(asked, report.size()));
    return reply;
  }

  std::string control_status;
  NodeFaults faults;

 private:
  std::shared_ptr<SimulatedModule> module_;
  std::map<std::uint64_t, OpenFile> files_;
  std::uint64_t next_fh_ = 1;
};

void Sink::send_input_report(std::vector<std::uint8_t> report, std::uint32_t) {
  server_.deliver(std::move(report));
}

Server& server_of(fuse_req_t req) {
  return *static_cast<Server*>(fuse_req_userdata(req));
}

std::string file_content(fuse_ino_t ino, Server& server) {
  switch (ino) {
    case kUevent:
      return uevent_text(server.module());
    case kReportDescriptor: {
      const auto& d = SimulatedModule::report_descriptor();
      return std::string(d.begin(), d.end());
    }
    case kControl:
      return server.control_status;
    default:
      return {};
  }
}

struct stat attributes_of(fuse_ino_t ino, Server& server) {
  struct stat st {};
  const Node& node = kTree.at(ino);
  st.st_ino = ino;
  st.st_mode = (node.directory ? S_IFDIR : S_IFREG) | node.mode;
  st.st_nlink = node.directory ? 2 : 1;
  st.st_uid = getuid();
  st.st_gid = getgid();
  st.st_size = static_cast<off_t>(file_content(ino, server).size());
  return st;
}

void on_lookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
  for (const auto& [ino, node] : kTree) {
    if (ino == kRoot || node.parent != parent || std::strcmp(node.name, name) != 0) continue;
    fuse_entry_param entry{};
    entry.ino = ino;
    entry.attr = attributes_of(ino, server_of(req));
    entry.attr_timeout = kAttributeTimeout;
    entry.entry_timeout = kAttributeTimeout;
    fuse_reply_entry(req, &entry);
    return;
  }
  fuse_reply_err(req, ENOENT);
}

void on_getattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
  if (kTree.count(ino) == 0) return void(fuse_reply_err(req, ENOENT));
  const struct stat st = attributes_of(ino, server_of(req));
  fuse_reply_attr(req, &st, kAttributeTimeout);
}

void on_readdir(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info*) {
  if (kTree.count(ino) == 0 || !kTree.at(ino).directory) return void(fuse_reply_err(req, ENOTDIR));
  std::vector<std::pair<std::string, fuse_ino_t>> entries = {{".", ino},
                                                             {"..", kTree.at(ino).parent}};
  for (const auto& [child, node] : kTree)
    if (child != kRoot && node.parent == ino) entries.emplace_back(node.name, child);
  std::vector<char> buffer(size);
  std::size_t used = 0;
  for (std::size_t i = static_cast<std::size_t>(offset); i < entries.size(); ++i) {
    struct stat st {};
    st.st_ino = entries[i].second;
    st.st_mode = kTree.at(entries[i].second).directory ? S_IFDIR : S_IFREG;
    const std::size_t needed =
        fuse_add_direntry(req, buffer.data() + used, size - used, entries[i].first.c_str(), &st,
                          static_cast<off_t>(i + 1));
    if (needed > size - used) break;
    used += needed;
  }
  fuse_reply_buf(req, buffer.data(), used);
}

void on_open(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
  if (kTree.count(ino) == 0 || kTree.at(ino).directory) return void(fuse_reply_err(req, EISDIR));
  // Every read and write goes to the server as it is: no page cache, no flush, no seeking.
  fi->direct_io = 1;
  fi->noflush = 1;
  fi->nonseekable = 1;
  if (ino == kHidraw0 && server_of(req).faults.open_error != 0)
    return void(fuse_reply_err(req, server_of(req).faults.open_error));
  if (ino == kHidraw0) fi->fh = server_of(req).open_file((fi->flags & O_NONBLOCK) != 0);
  fuse_reply_open(req, fi);
}

void on_release(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
  if (ino == kHidraw0) server_of(req).release(fi->fh);
  fuse_reply_err(req, 0);
}

void on_interrupt(fuse_req_t req, void* data) {
  static_cast<Server*>(data)->interrupt(req);
}

void on_read(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info* fi) {
  Server& server = server_of(req);
  if (ino != kHidraw0) {
    const std::string content = file_content(ino, server);
    const auto from =
        std::min(static_cast<std::size_t>(std::max<off_t>(offset, 0)), content.size());
    return void(fuse_reply_buf(req, content.data() + from, std::min(size, content.size() - from)));
  }
  auto it = server.files().find(fi->fh);
  if (it == server.files().end()) return void(fuse_reply_err(req, EBADF));
  OpenFile& file = it->second;
  if (!file.queue.empty()) {
    const auto reply = server.reply_bytes(file.queue.front(), size);
    file.queue.pop_front();
    return void(fuse_reply_buf(req, reinterpret_cast<const char*>(reply.data()), reply.size()));
  }
  if (file.nonblocking) return void(fuse_reply_err(req, EAGAIN));
  file.waiting_reads.emplace_back(req, size);
  fuse_req_interrupt_func(req, on_interrupt, &server);
}

void on_write(fuse_req_t req, fuse_ino_t ino, const char* buf, size_t size, off_t,
              fuse_file_info*) {
  Server& server = server_of(req);
  if (ino == kControl) {
    std::string command(buf, size);
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r'))
      command.pop_back();
    const bool known = apply_node_command(server.faults, command) ||
                       apply_control_command(server.module(), command);
    server.control_status = (known ? "ok: " : "unknown: ") + command + "\n";
    return void(known ? fuse_reply_write(req, size) : fuse_reply_err(req, EINVAL));
  }
  if (ino != kHidraw0) return void(fuse_reply_err(req, EACCES));
  // Answer the write first: the report the module sends back may complete a waiting read.
  fuse_reply_write(req, size);
  Sink sink(server);
  server.module().on_output_report(std::span(reinterpret_cast<const std::uint8_t*>(buf), size),
                                   sink);
}

void on_poll(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi, fuse_pollhandle* ph) {
  Server& server = server_of(req);
  auto it = ino == kHidraw0 ? server.files().find(fi->fh) : server.files().end();
  if (it == server.files().end()) {
    if (ph != nullptr) fuse_pollhandle_destroy(ph);
    return void(fuse_reply_poll(req, POLLIN | POLLOUT));
  }
  OpenFile& file = it->second;
  if (ph != nullptr) {
    if (file.poll_handle != nullptr) fuse_pollhandle_destroy(file.poll_handle);
    file.poll_handle = ph;
  }
  fuse_reply_poll(req, POLLOUT | (file.queue.empty() ? 0 : POLLIN));
}

void on_ioctl(fuse_req_t req, fuse_ino_t ino, unsigned int cmd, void*, fuse_file_info*,
              unsigned flags, const void*, size_t, size_t out_size) {
  if (ino != kHidraw0 || (flags & FUSE_IOCTL_COMPAT) != 0) return void(fuse_reply_err(req, ENOTTY));
  const auto& descriptor = SimulatedModule::report_descriptor();
  const NodeFaults& faults = server_of(req).faults;
  if (cmd == HIDIOCGRDESCSIZE) {
    const int size = faults.descriptor_size.value_or(static_cast<int>(descriptor.size()));
    return void(fuse_reply_ioctl(req, 0, &size, sizeof size));
  }
  if (cmd == HIDIOCGRDESC) {
    hidraw_report_descriptor out{};
    out.size = faults.descriptor_length.value_or(static_cast<std::uint32_t>(descriptor.size()));
    std::copy(descriptor.begin(), descriptor.end(), out.value);
    return void(fuse_reply_ioctl(req, 0, &out, std::min(out_size, sizeof out)));
  }
  if (cmd == HIDIOCGRAWINFO) {
    hidraw_devinfo info{};
    info.bustype = 0x03;  // USB
    info.vendor = static_cast<__s16>(kModuleVendorId);
    info.product = static_cast<__s16>(kModuleProductId);
    return void(fuse_reply_ioctl(req, 0, &info, sizeof info));
  }
  if (_IOC_TYPE(cmd) == 'H' && _IOC_NR(cmd) == 0x04 && _IOC_DIR(cmd) == _IOC_READ)
    return reply_text(req, server_of(req).module().product_name(),
                      out_size);  // HIDIOCGRAWNAME(len)
  if (_IOC_TYPE(cmd) == 'H' && _IOC_NR(cmd) == 0x08 && _IOC_DIR(cmd) == _IOC_READ)
    return reply_text(req, server_of(req).module().serial_number(), out_size);  // HIDIOCGRAWUNIQ
  fuse_reply_err(req, ENOTTY);
}

}  // namespace

int serve(std::shared_ptr<SimulatedModule> module, const ServeOptions& options) {
  std::error_code ec;
  std::filesystem::create_directories(options.mount_dir, ec);
  Server server(std::move(module));

  fuse_lowlevel_ops ops{};
  ops.lookup = on_lookup;
  ops.getattr = on_getattr;
  ops.readdir = on_readdir;
  ops.open = on_open;
  ops.release = on_release;
  ops.read = on_read;
  ops.write = on_write;
  ops.poll = on_poll;
  ops.ioctl = on_ioctl;

  std::vector<std::string> words = {"gpio-dll-sim",        "-o", "auto_unmount",       "-o",
                                    "default_permissions", "-o", "fsname=gpio-dll-sim"};
  // Root serves the node to other users too, as the kernel's hidraw would (the file's mode
  // still keeps it from being world-writable).
  if (geteuid() == 0) words.insert(words.end(), {"-o", "allow_other"});
  if (options.verbose) words.push_back("-d");
  std::vector<char*> argv;
  for (auto& w : words)
    argv.push_back(w.data());
  fuse_args args = FUSE_ARGS_INIT(static_cast<int>(argv.size()), argv.data());

  fuse_session* session = fuse_session_new(&args, &ops, sizeof ops, &server);
  if (session == nullptr) {
    std::cerr << "gpio-dll-sim: cannot start a FUSE session\n";
    return 1;
  }
  int status = 1;
  if (fuse_set_signal_handlers(session) == 0) {
    if (fuse_session_mount(session, options.mount_dir.c_str()) == 0) {
      std::cout << "device: " << options.mount_dir << "/dev/hidraw0\n"
                << "class: " << options.mount_dir << "/sys/class/hidraw\n"
                << "control: " << options.mount_dir << "/control\n"
                << std::flush;
      status = fuse_session_loop(session) == 0 ? 0 : 1;
      fuse_session_unmount(session);
    } else {
      std::cerr << "gpio-dll-sim: cannot mount at " << options.mount_dir << "\n";
    }
    fuse_remove_signal_handlers(session);
  }
  fuse_session_destroy(session);
  fuse_opt_free_args(&args);
  return status;
}

}  // namespace gpio_dll::sim
