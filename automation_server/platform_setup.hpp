// What the server does before it creates its first object. The server ships with the system's
// HID access, which needs nothing; a test build links another definition that puts the
// simulated module in place.
#pragma once

namespace gpio_dll::com {

void prepare_platform();

}  // namespace gpio_dll::com
