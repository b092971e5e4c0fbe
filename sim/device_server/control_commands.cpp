#include <sstream>

#include "hidraw_server.hpp"

namespace gpio_dll::sim {

bool apply_control_command(SimulatedModule& module, const std::string& command) {
  std::istringstream in(command);
  std::string word;
  if (!(in >> word)) return false;
  if (word == "silent") {
    module.set_silent(true);
  } else if (word == "answer") {
    module.set_silent(false);
    module.fall_silent_after(-1);
  } else if (word == "silent-after") {
    int count = 0;
    if (!(in >> count) || count < 0) return false;
    module.fall_silent_after(count);
  } else if (word == "fail") {
    int index = 0;
    unsigned status = 0;
    if (!(in >> index >> status) || index < 0 || status > 255) return false;
    module.fail_request(index, static_cast<std::uint8_t>(status));
  } else if (word == "stuck") {
    int sda = 0, scl = 0;
    if (!(in >> sda >> scl)) return false;
    module.set_lines_stuck(sda != 0, scl != 0);
  } else if (word == "wrong-pec") {
    int wrong = 0;
    if (!(in >> wrong)) return false;
    module.battery().set_wrong_pec(wrong != 0);
  } else {
    return false;
  }
  std::string rest;
  return !(in >> rest);
}

}  // namespace gpio_dll::sim
