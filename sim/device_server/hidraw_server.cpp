// The FUSE side of the device server: a tree of inodes made at start for the served modules,
// hidraw semantics on each device file, the hidraw ioctls, and the control files. Low-level API,
// one thread: a read that finds no report waits (its reply is deferred) until a write produces one,
// or until a module's delayed answer falls due.
#define FUSE_USE_VERSION 35

#include "hidraw_server.hpp"

#include "mount_point.hpp"
#include "served_node.hpp"

#include <fuse_lowlevel.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace gpio_dll::sim {

namespace {

constexpr double kAttributeTimeout = 1.0;

using Clock = ServedNode::Clock;

// What a node of the tree is; the files of a module also name the module (its index).
enum class Kind { kDirectory, kHidraw, kUevent, kReportDescriptor, kControl };

struct Node {
  fuse_ino_t parent;
  std::string name;
  Kind kind;
  mode_t mode;
  std::size_t module = 0;
  bool directory() const { return kind == Kind::kDirectory; }
};

using Tree = std::map<fuse_ino_t, Node>;

// MOUNT/dev/hidrawK and MOUNT/sys/class/hidraw/hidrawK/device/{uevent,report_descriptor} for
// each module K; MOUNT/control for module 0 and, with more than one module, MOUNT/control-hidrawK
// for each.
Tree make_tree(std::size_t modules) {
  Tree tree;
  fuse_ino_t next = FUSE_ROOT_ID;
  auto add = [&](fuse_ino_t parent, std::string name, Kind kind, mode_t mode,
                 std::size_t module = 0) {
    const fuse_ino_t ino = next++;
    tree.emplace(ino, Node{parent, std::move(name), kind, mode, module});
    return ino;
  };
  const fuse_ino_t root = add(FUSE_ROOT_ID, "", Kind::kDirectory, 0755);
  const fuse_ino_t dev = add(root, "dev", Kind::kDirectory, 0755);
  const fuse_ino_t sys = add(root, "sys", Kind::kDirectory, 0755);
  const fuse_ino_t class_dir = add(sys, "class", Kind::kDirectory, 0755);
  const fuse_ino_t hidraw_class = add(class_dir, "hidraw", Kind::kDirectory, 0755);
  add(root, "control", Kind::kControl, 0600, 0);
  for (std::size_t k = 0; k < modules; ++k) {
    const std::string name = "hidraw" + std::to_string(k);
    add(dev, name, Kind::kHidraw, 0660, k);
    const fuse_ino_t entry = add(hidraw_class, name, Kind::kDirectory, 0755);
    const fuse_ino_t device = add(entry, "device", Kind::kDirectory, 0755);
    add(device, "uevent", Kind::kUevent, 0444, k);
    add(device, "report_descriptor", Kind::kReportDescriptor, 0444, k);
    if (modules > 1) add(root, "control-" + name, Kind::kControl, 0600, k);
  }
  return tree;
}

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

class Server {
 public:
  explicit Server(const std::vector<std::shared_ptr<SimulatedModule>>& modules)
      : tree(make_tree(modules.size())) {
    for (const auto& module : modules)
      served_.push_back(std::make_unique<ServedNode>(module));
  }

  ServedNode& module(std::size_t index) { return *served_.at(index); }
  ServedNode& module_of(fuse_ino_t ino) { return module(tree.at(ino).module); }
  const Node* node(fuse_ino_t ino) const {
    auto it = tree.find(ino);
    return it == tree.end() ? nullptr : &it->second;
  }
  bool is_hidraw(fuse_ino_t ino) const {
    const Node* n = node(ino);
    return n != nullptr && n->kind == Kind::kHidraw;
  }
  std::uint64_t next_fh() { return next_fh_++; }
  void interrupt(fuse_req_t req) {
    for (auto& served : served_)
      if (served->interrupt(req)) return;
  }
  // Delivers every delayed report due by now; returns when the next one falls due, if any.
  std::optional<Clock::time_point> deliver_due() {
    const Clock::time_point now = Clock::now();
    std::optional<Clock::time_point> next;
    for (auto& served : served_) {
      served->deliver_due(now);
      if (const auto due = served->next_due(); due && (!next || *due < *next)) next = due;
    }
    return next;
  }

  const Tree tree;

 private:
  std::vector<std::unique_ptr<ServedNode>> served_;
  std::uint64_t next_fh_ = 1;
};

Server& server_of(fuse_req_t req) {
  return *static_cast<Server*>(fuse_req_userdata(req));
}

std::string file_content(fuse_ino_t ino, Server& server) {
  const Node* node = server.node(ino);
  if (node == nullptr) return {};
  switch (node->kind) {
    case Kind::kUevent:
      return uevent_text(server.module(node->module).module());
    case Kind::kReportDescriptor: {
      const auto& d = SimulatedModule::report_descriptor();
      return std::string(d.begin(), d.end());
    }
    case Kind::kControl:
      return server.module(node->module).control_status;
    default:
      return {};
  }
}

struct stat attributes_of(fuse_ino_t ino, Server& server) {
  struct stat st {};
  const Node& node = server.tree.at(ino);
  st.st_ino = ino;
  st.st_mode = (node.directory() ? S_IFDIR : S_IFREG) | node.mode;
  st.st_nlink = node.directory() ? 2 : 1;
  st.st_uid = getuid();
  st.st_gid = getgid();
  st.st_size = static_cast<off_t>(file_content(ino, server).size());
  return st;
}

void on_lookup(fuse_req_t req, fuse_ino_t parent, const char* name) {
  Server& server = server_of(req);
  for (const auto& [ino, node] : server.tree) {
    if (ino == FUSE_ROOT_ID || node.parent != parent || node.name != name) continue;
    fuse_entry_param entry{};
    entry.ino = ino;
    entry.attr = attributes_of(ino, server);
    entry.attr_timeout = kAttributeTimeout;
    entry.entry_timeout = kAttributeTimeout;
    fuse_reply_entry(req, &entry);
    return;
  }
  fuse_reply_err(req, ENOENT);
}

void on_getattr(fuse_req_t req, fuse_ino_t ino, fuse_file_info*) {
  Server& server = server_of(req);
  if (server.node(ino) == nullptr) return void(fuse_reply_err(req, ENOENT));
  const struct stat st = attributes_of(ino, server);
  fuse_reply_attr(req, &st, kAttributeTimeout);
}

void on_readdir(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info*) {
  const Tree& tree = server_of(req).tree;
  const Node* dir = server_of(req).node(ino);
  if (dir == nullptr || !dir->directory()) return void(fuse_reply_err(req, ENOTDIR));
  std::vector<std::pair<std::string, fuse_ino_t>> entries = {{".", ino}, {"..", dir->parent}};
  for (const auto& [child, node] : tree)
    if (child != FUSE_ROOT_ID && node.parent == ino) entries.emplace_back(node.name, child);
  std::vector<char> buffer(size);
  std::size_t used = 0;
  for (std::size_t i = static_cast<std::size_t>(offset); i < entries.size(); ++i) {
    struct stat st {};
    st.st_ino = entries[i].second;
    st.st_mode = tree.at(entries[i].second).directory() ? S_IFDIR : S_IFREG;
    const std::size_t needed =
        fuse_add_direntry(req, buffer.data() + used, size - used, entries[i].first.c_str(), &st,
                          static_cast<off_t>(i + 1));
    if (needed > size - used) break;
    used += needed;
  }
  fuse_reply_buf(req, buffer.data(), used);
}

void on_open(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
  Server& server = server_of(req);
  const Node* node = server.node(ino);
  if (node == nullptr || node->directory()) return void(fuse_reply_err(req, EISDIR));
  // Every read and write goes to the server as it is: no page cache, no flush, no seeking.
  fi->direct_io = 1;
  fi->noflush = 1;
  fi->nonseekable = 1;
  if (node->kind == Kind::kHidraw) {
    ServedNode& served = server.module(node->module);
    if (served.faults.open_error != 0) return void(fuse_reply_err(req, served.faults.open_error));
    fi->fh = server.next_fh();
    served.open_file(fi->fh, (fi->flags & O_NONBLOCK) != 0);
  }
  fuse_reply_open(req, fi);
}

void on_release(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi) {
  Server& server = server_of(req);
  if (server.is_hidraw(ino)) server.module_of(ino).release(fi->fh);
  fuse_reply_err(req, 0);
}

void on_interrupt(fuse_req_t req, void* data) {
  static_cast<Server*>(data)->interrupt(req);
}

void on_read(fuse_req_t req, fuse_ino_t ino, size_t size, off_t offset, fuse_file_info* fi) {
  Server& server = server_of(req);
  if (!server.is_hidraw(ino)) {
    const std::string content = file_content(ino, server);
    const auto from =
        std::min(static_cast<std::size_t>(std::max<off_t>(offset, 0)), content.size());
    return void(fuse_reply_buf(req, content.data() + from, std::min(size, content.size() - from)));
  }
  ServedNode& served = server.module_of(ino);
  auto it = served.files().find(fi->fh);
  if (it == served.files().end()) return void(fuse_reply_err(req, EBADF));
  OpenFile& file = it->second;
  if (!file.queue.empty()) {
    const auto reply = served.reply_bytes(file.queue.front(), size);
    file.queue.pop_front();
    return void(fuse_reply_buf(req, reinterpret_cast<const char*>(reply.data()), reply.size()));
  }
  if (file.nonblocking) return void(fuse_reply_err(req, EAGAIN));
  file.waiting_reads.emplace_back(req, size);
  fuse_req_interrupt_func(req, on_interrupt, &server);
}

// Why a control command that no command word matched was refused.
std::string unknown_command(const std::string& command) {
  std::istringstream in(command);
  std::string word;
  if (!(in >> word)) return "no command given (gpio-dll-sim --help lists them)";
  return "unknown command " + word + " (gpio-dll-sim --help lists them)";
}

void on_write(fuse_req_t req, fuse_ino_t ino, const char* buf, size_t size, off_t,
              fuse_file_info*) {
  Server& server = server_of(req);
  const Node* node = server.node(ino);
  if (node != nullptr && node->kind == Kind::kControl) {
    ServedNode& served = server.module(node->module);
    std::string command(buf, size);
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r'))
      command.pop_back();
    try {
      if (!apply_node_command(served.faults, command) &&
          !apply_control_command(served.module(), command))
        throw std::invalid_argument(unknown_command(command));
      served.control_status = "ok: " + command + "\n";
      return void(fuse_reply_write(req, size));
    } catch (const std::invalid_argument& e) {
      // The write can only fail with EINVAL; the reason waits in the file for whoever reads it.
      served.control_status = "refused: " + command + ": " + e.what() + "\n";
      return void(fuse_reply_err(req, EINVAL));
    }
  }
  if (node == nullptr || node->kind != Kind::kHidraw) return void(fuse_reply_err(req, EACCES));
  ServedNode& served = server.module(node->module);
  // Answer the write first: the report the module sends back may complete a waiting read.
  fuse_reply_write(req, size);
  served.write(std::span(reinterpret_cast<const std::uint8_t*>(buf), size));
}

void on_poll(fuse_req_t req, fuse_ino_t ino, fuse_file_info* fi, fuse_pollhandle* ph) {
  Server& server = server_of(req);
  OpenFile* file = nullptr;
  if (server.is_hidraw(ino)) {
    auto& files = server.module_of(ino).files();
    auto it = files.find(fi->fh);
    if (it != files.end()) file = &it->second;
  }
  if (file == nullptr) {
    if (ph != nullptr) fuse_pollhandle_destroy(ph);
    return void(fuse_reply_poll(req, POLLIN | POLLOUT));
  }
  if (ph != nullptr) {
    if (file->poll_handle != nullptr) fuse_pollhandle_destroy(file->poll_handle);
    file->poll_handle = ph;
  }
  fuse_reply_poll(req, POLLOUT | (file->queue.empty() ? 0 : POLLIN));
}

// The hidraw ioctls' arguments are laid out alike for 32- and 64-bit programs (fixed-width
// fields only), so a 32-bit program's ioctl (FUSE_IOCTL_COMPAT) gets the same answer, as the
// kernel's hidraw gives it.
static_assert(sizeof(int) == 4 && sizeof(hidraw_devinfo) == 8 &&
              sizeof(hidraw_report_descriptor) == 4 + HID_MAX_DESCRIPTOR_SIZE);

void on_ioctl(fuse_req_t req, fuse_ino_t ino, unsigned int cmd, void*, fuse_file_info*, unsigned,
              const void*, size_t, size_t out_size) {
  Server& server = server_of(req);
  if (!server.is_hidraw(ino)) return void(fuse_reply_err(req, ENOTTY));
  ServedNode& served = server.module_of(ino);
  const auto& descriptor = SimulatedModule::report_descriptor();
  const NodeFaults& faults = served.faults;
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
    return reply_text(req, served.module().product_name(), out_size);  // HIDIOCGRAWNAME(len)
  if (_IOC_TYPE(cmd) == 'H' && _IOC_NR(cmd) == 0x08 && _IOC_DIR(cmd) == _IOC_READ)
    return reply_text(req, served.module().serial_number(), out_size);  // HIDIOCGRAWUNIQ
  fuse_reply_err(req, ENOTTY);
}

// The session's loop: FUSE requests as they come, and the modules' delayed answers as they fall
// due. The stop signals stay blocked but while waiting, so that one that comes between the check
// for the end and the wait still ends the wait. Returns 0 after a stop or an unmount, else a
// negative errno.
int run_session(fuse_session* session, Server& server) {
  sigset_t stop_signals, waiting_mask;
  sigemptyset(&stop_signals);
  for (int signal : {SIGTERM, SIGINT, SIGHUP})
    sigaddset(&stop_signals, signal);
  pthread_sigmask(SIG_BLOCK, &stop_signals, &waiting_mask);
  const int fd = fuse_session_fd(session);
  fuse_buf buffer{};
  int result = 0;
  while (!fuse_session_exited(session)) {
    const auto next = server.deliver_due();
    timespec wait{};
    if (next) {
      const auto left = std::max(*next - Clock::now(), Clock::duration::zero());
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
      wait.tv_sec = static_cast<time_t>(ns / 1000000000);
      wait.tv_nsec = static_cast<long>(ns % 1000000000);
    }
    pollfd request{fd, POLLIN, 0};
    const int ready = ppoll(&request, 1, next ? &wait : nullptr, &waiting_mask);
    if (ready < 0 && errno == EINTR) continue;  // a stop signal ended the session
    if (ready < 0) {
      result = -errno;
      break;
    }
    if (ready == 0) continue;  // a delayed answer is due
    const int received = fuse_session_receive_buf(session, &buffer);
    if (received == -EINTR) continue;
    if (received <= 0) {  // 0: unmounted
      result = received;
      break;
    }
    fuse_session_process_buf(session, &buffer);
  }
  std::free(buffer.mem);
  pthread_sigmask(SIG_SETMASK, &waiting_mask, nullptr);
  return result;
}

}  // namespace

int serve(std::shared_ptr<SimulatedModule> module, const ServeOptions& options) {
  return serve(std::vector{std::move(module)}, options);
}

int serve(const std::vector<std::shared_ptr<SimulatedModule>>& modules,
          const ServeOptions& options) {
  if (modules.empty()) {
    std::cerr << "gpio-dll-sim: no module to serve\n";
    return 1;
  }
  // A folder made for this server goes again when it ends, however it ends short of being killed.
  const MountFolder folder(options.mount_dir);
  const std::string& mount_dir = folder.path();
  if (!folder.refusal().empty()) {
    std::cerr << "gpio-dll-sim: cannot serve at " << (mount_dir.empty() ? "/tmp" : mount_dir)
              << ": " << folder.refusal() << "\n";
    return 1;
  }
  Server server(modules);

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
    if (mount_session(session, mount_dir)) {
      // One write, the line for MOUNT/control last: whoever waits for it has read everything.
      std::ostringstream text;
      for (std::size_t k = 0; k < modules.size(); ++k)
        text << "device: " << mount_dir << "/dev/hidraw" << k << "\n";
      text << "class: " << mount_dir << "/sys/class/hidraw\n";
      if (modules.size() > 1)
        for (std::size_t k = 0; k < modules.size(); ++k)
          text << "control of hidraw" << k << " (" << modules[k]->serial_number()
               << "): " << mount_dir << "/control-hidraw" << k << "\n";
      text << "control: " << mount_dir << "/control\n";
      std::cout << text.str() << std::flush;
      status = run_session(session, server) >= 0 ? 0 : 1;
      fuse_session_unmount(session);
    } else {
      std::cerr << "gpio-dll-sim: cannot mount at " << mount_dir << "\n";
    }
    fuse_remove_signal_handlers(session);
  }
  fuse_session_destroy(session);
  fuse_opt_free_args(&args);
  return status;
}

}  // namespace gpio_dll::sim
