// The tool's console port: what the tool asks of the operating system about its console and its
// standard streams. One implementation per system in this folder (posix_console.cpp,
// windows_console.cpp); the rest of the tool makes no system calls of its own.
#pragma once

#include <cstdio>

namespace gpio_dll::cli::console {

// True when the C runtime's descriptor `fd` is an interactive console (a terminal): false for a
// file, a pipe, the null device or a descriptor that is not open.
bool is_console(int fd);

// Makes standard input or output carry bytes as they are, without line-end translation.
void use_binary(std::FILE* stream);

// A pipe to the standard input of the shell command `command`, or null when it cannot start;
// close_pipe waits for the command and gives its exit status.
std::FILE* open_pipe(const char* command);
int close_pipe(std::FILE* pipe);

// The pager the system always has.
const char* default_pager();

}  // namespace gpio_dll::cli::console
