// What keeps the users of one hidraw node apart: flock() on the node, and beside it a small
// shared file that records the node's last user, so that a user can tell whether anyone else has
// used the module since its own last transaction.
#pragma once

#include <cstdint>

#include "base/platform_port.hpp"

namespace gpio_dll::transport {

// Takes the node's lock through the open file `fd`, waiting at most `timeout_ms`. Failed, with
// `error` set, when the file system keeps no locks.
LockResult lock_node(int fd, std::uint32_t timeout_ms, std::int32_t& error);
void unlock_node(int fd);

// Opens the record of the last user of the node open as `fd`: the same file for every path to
// the node and every process. -1 with `error` set when it cannot be had.
int open_last_user_record(int fd, std::int32_t& error);

// Records `user` in the record and returns the user recorded before (0: none). The caller holds
// the node's lock. 0 with `error` set when the record cannot be written.
std::uint64_t swap_last_user_record(int record, std::uint64_t user, std::int32_t& error);

}  // namespace gpio_dll::transport
