// The folder the device server mounts at: made ready before mounting, mounted so that the
// unmount helper's late complaints stay off the server's standard error.
#pragma once

#include <string>

struct fuse_session;

namespace gpio_dll::sim {

// Makes `dir` ready to mount at: creates it and any missing folders above it (then sets
// `made_from` to the highest folder it made) and detaches a dead mount left there by a server
// that was killed. Returns why it cannot be used (empty when it can): not a folder, or a file
// system already mounted there, such as another server's.
std::string prepare_mount_point(const std::string& dir, std::string& made_from);

// The folder a server mounts at, from choosing it to removing it again.
class MountFolder {
 public:
  // `dir`, made ready with prepare_mount_point; empty: a new folder under /tmp.
  explicit MountFolder(std::string dir);
  // Removes the folder and the folders made above it, if they were made here and are empty; by
  // then it must be unmounted.
  ~MountFolder();
  MountFolder(const MountFolder&) = delete;
  MountFolder& operator=(const MountFolder&) = delete;

  const std::string& path() const { return path_; }
  // Why the server cannot mount there; empty when it can.
  const std::string& refusal() const { return refusal_; }

 private:
  std::string path_;
  std::string refusal_;
  std::string made_from_;  // the highest folder made here; empty: none
};

// The file system mounted at `dir` as "SOURCE (TYPE)", from /proc/self/mountinfo; empty when
// nothing is mounted there.
std::string mounted_at(const std::string& dir);

// Mounts `session` at `dir`; false when that fails (libfuse has said why on standard error).
// With auto_unmount, libfuse mounts through fusermount3, which stays behind to unmount when the
// server ends and then, finding the mount already gone after a normal stop, prints
// "fusermount3: DIR not mounted". It is given a pipe as standard error: what it and libfuse say
// while mounting is passed on, anything later is lost.
bool mount_session(fuse_session* session, const std::string& dir);

}  // namespace gpio_dll::sim
