// Getting the mount folder ready and mounting the FUSE session at it.
#define FUSE_USE_VERSION 35

#include "mount_point.hpp"

#include <fcntl.h>
#include <fuse_lowlevel.h>
#include <sys/mount.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace gpio_dll::sim {

namespace {

// A mountinfo path field: blanks, tabs, newlines and backslashes come as \ooo octal escapes.
std::string unescape_mountinfo(const std::string& field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const bool octal = field[i] == '\\' && i + 3 < field.size() &&
                       field.find_first_not_of("01234567", i + 1) >= i + 4;
    if (octal) {
      text.push_back(static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8)));
      i += 3;
    } else {
      text.push_back(field[i]);
    }
  }
  return text;
}

}  // namespace

std::string mounted_at(const std::string& dir) {
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::canonical(dir, ec);
  if (ec) return {};
  std::ifstream mountinfo("/proc/self/mountinfo");
  std::string line;
  std::string found;
  // Fields: ID PARENT MAJOR:MINOR ROOT MOUNT-POINT OPTIONS [TAGS...] - TYPE SOURCE OPTIONS. The
  // last mount at a path is the one in use, so keep looking.
  while (std::getline(mountinfo, line)) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;)
      words.push_back(word);
    if (words.size() < 5 || unescape_mountinfo(words[4]) != path.string()) continue;
    std::size_t dash = 5;
    while (dash < words.size() && words[dash] != "-")
      ++dash;
    const std::string type = dash + 1 < words.size() ? words[dash + 1] : "?";
    const std::string source = dash + 2 < words.size() ? unescape_mountinfo(words[dash + 2]) : "?";
    found = source + " (" + type + ")";
  }
  return found;
}

std::string prepare_mount_point(const std::string& dir, std::string& made_from) {
  // A mount left behind by a server killed before it could unmount: its connection is gone
  // (ENOTCONN). Nobody can use it, so detach it and mount in its place. statfs asks the file
  // system itself, where stat may answer from the kernel's cache of the folder's attributes.
  struct statfs st {};
  // EINVAL from the detach: fusermount3 took the dead mount away in the meantime.
  if (statfs(dir.c_str(), &st) != 0 && errno == ENOTCONN && umount2(dir.c_str(), MNT_DETACH) != 0 &&
      errno != EINVAL)
    return std::string("a dead mount is there and cannot be detached: ") + std::strerror(errno);
  std::error_code ec;
  if (std::filesystem::exists(dir, ec) && !std::filesystem::is_directory(dir, ec))
    return "not a folder";
  std::filesystem::path missing;
  for (std::filesystem::path p = dir; !p.empty() && !std::filesystem::exists(p, ec);
       p = p.parent_path()) {
    missing = p;
    if (p == p.parent_path()) break;
  }
  if (std::filesystem::create_directories(dir, ec)) made_from = missing.string();
  if (ec) return "cannot make the folder: " + ec.message();
  const std::string mounted = mounted_at(dir);
  if (!mounted.empty())
    return "already in use: " + mounted +
           " is mounted there (stop its server, or pick another "
           "folder)";
  return {};
}

MountFolder::MountFolder(std::string dir) : path_(std::move(dir)) {
  if (path_.empty()) {
    char pattern[] = "/tmp/gpio-dll-sim.XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
      refusal_ = std::string("cannot make a folder under /tmp: ") + std::strerror(errno);
      return;
    }
    path_ = pattern;
    made_from_ = path_;
  }
  std::string made_from;
  refusal_ = prepare_mount_point(path_, made_from);
  if (!made_from.empty()) made_from_ = made_from;
}

MountFolder::~MountFolder() {
  if (made_from_.empty()) return;
  // From the mount folder up to the highest one made; a folder that is not empty stays.
  for (std::filesystem::path p = path_; !p.empty(); p = p.parent_path()) {
    if (rmdir(p.c_str()) != 0 && errno != ENOENT) return;
    if (p == made_from_ || p == p.parent_path()) return;
  }
}

bool mount_session(fuse_session* session, const std::string& dir) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC | O_NONBLOCK) != 0)
    return fuse_session_mount(session, dir.c_str()) == 0;
  const int saved_stderr = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
  if (saved_stderr < 0) {
    close(pipe_fds[0]);
    close(pipe_fds[1]);
    return fuse_session_mount(session, dir.c_str()) == 0;
  }
  dup2(pipe_fds[1], STDERR_FILENO);
  const bool mounted = fuse_session_mount(session, dir.c_str()) == 0;
  dup2(saved_stderr, STDERR_FILENO);
  close(saved_stderr);
  close(pipe_fds[1]);
  // What was said while mounting, passed on; then nobody reads the pipe any more.
  char buffer[4096];
  for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
    if (write(STDERR_FILENO, buffer, static_cast<std::size_t>(n)) < 0) break;
  close(pipe_fds[0]);
  return mounted;
}

}  // namespace gpio_dll::sim
