#include "transport/linux_hidraw/node_lock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

namespace gpio_dll::transport {

LockResult lock_node(int fd, std::uint32_t timeout_ms, std::int32_t& error) {
  // flock() on the node: open files of one node exclude each other whichever thread or process
  // holds them, and the kernel drops the lock when its holder closes the file or dies.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  error = 0;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    // A file system that keeps no locks (ENOLCK, EINVAL, EOPNOTSUPP) cannot keep other users
    // out: the caller is told why rather than sharing the module unguarded.
    if (errno != EWOULDBLOCK) {
      error = errno;
      return LockResult::Failed;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      error = EBUSY;
      return LockResult::Busy;
    }
    ::usleep(500);
  }
  return LockResult::Locked;
}

void unlock_node(int fd) {
  ::flock(fd, LOCK_UN);
}

int open_last_user_record(int fd, std::int32_t& error) {
  // Named after the node itself, so that every path to it and every process finds the same
  // record: a device node by its device number, a served node by its file's identity.
  struct stat node {};
  if (::fstat(fd, &node) != 0) {
    error = errno;
    return -1;
  }
  const std::string name = S_ISCHR(node.st_mode)
                               ? "gpio_dll-last-user-c" + std::to_string(major(node.st_rdev)) +
                                     "_" + std::to_string(minor(node.st_rdev))
                               : "gpio_dll-last-user-f" + std::to_string(node.st_dev) + "_" +
                                     std::to_string(node.st_ino);
  // Memory-backed where there is such a folder; the record never outlives a reboot there.
  struct stat dir {};
  const std::string folder =
      ::stat("/dev/shm", &dir) == 0 && S_ISDIR(dir.st_mode) ? "/dev/shm" : "/tmp";
  const std::string path = folder + "/" + name;
  const int record = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (record < 0) {
    error = errno;
    return -1;
  }
  struct stat file {};
  if (::fstat(record, &file) != 0 || !S_ISREG(file.st_mode)) {
    ::close(record);
    error = EINVAL;
    return -1;
  }
  // Every user of the node shares it, whatever the creator's umask said.
  if (file.st_uid == ::geteuid()) ::fchmod(record, 0666);
  return record;
}

std::uint64_t swap_last_user_record(int record, std::uint64_t user, std::int32_t& error) {
  std::uint64_t before = 0;
  if (::pread(record, &before, sizeof before, 0) != static_cast<ssize_t>(sizeof before)) before = 0;
  errno = 0;
  if (::pwrite(record, &user, sizeof user, 0) != static_cast<ssize_t>(sizeof user)) {
    error = errno != 0 ? errno : EIO;
    return 0;
  }
  error = 0;
  return before;
}

}  // namespace gpio_dll::transport
