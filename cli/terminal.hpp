// What the tool asks of the terminal: whether a stream is one, and a pager. The system's side of
// it is the console port (console/).
#pragma once

#include <cstdio>
#include <string>

namespace gpio_dll::cli {

bool stdin_is_terminal();
bool stdout_is_terminal();
bool stderr_is_terminal();

// Shows `text` through $PAGER (default "less -FRX", on Windows "more") when standard output is a
// terminal, else writes it to standard output. Falls back to writing it when the pager cannot
// start.
void page(const std::string& text);

}  // namespace gpio_dll::cli
