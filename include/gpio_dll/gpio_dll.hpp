// gpio_dll: the client interface to the USB HID bridge module (vendor 0x0451, product 0x5F00).
//
//   gpio_dll::cls_GPIO_DLL dll;
//   std::string fw, vid, pid;
//   if (dll.GPIO_FW_VER_Read(fw, vid, pid) == gpio_dll::OK) { ... }
#pragma once

#include "gpio_dll/automation.hpp"
#include "gpio_dll/automation_error.hpp"
#include "gpio_dll/cls_gpio_dll.hpp"
#include "gpio_dll/debug_window.hpp"
#include "gpio_dll/error_codes.hpp"
#include "gpio_dll/hid_types.hpp"
#include "gpio_dll/platform.hpp"
#include "gpio_dll/simulated_platform.hpp"
#include "gpio_dll/trace.hpp"
#include "gpio_dll/variant.hpp"
