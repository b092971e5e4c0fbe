// The names the Windows backend derives from device paths and device texts.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "transport/windows_hid/device_names.hpp"

namespace gpio_dll::transport {
namespace {

TEST(DeviceMutexName, OneNamePerDeviceWhateverTheSpellingWithNoBackslashAfterItsNamespace) {
  const std::string upper = device_mutex_name(R"(\\?\HID#VID_0451&PID_5F00#7&1A2B&0&0000#{4d1e})");
  const std::string lower = device_mutex_name(R"(\\?\hid#vid_0451&pid_5f00#7&1a2b&0&0000#{4D1E})");
  EXPECT_EQ(upper, lower);
  EXPECT_NE(upper, device_mutex_name(R"(\\?\hid#vid_0451&pid_5f00#7&1a2b&0&0001#{4d1e})"));
  const std::string prefix = "Global\\";
  ASSERT_EQ(upper.compare(0, prefix.size(), prefix), 0);
  EXPECT_EQ(upper.find('\\', prefix.size()), std::string::npos) << upper;
}

struct Utf16Case {
  const char* name;
  std::wstring text;
  std::size_t units;
  std::string utf8;
  friend void PrintTo(const Utf16Case& c, std::ostream* os) { *os << c.name; }
};

class Utf8OfUtf16 : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(Utf8OfUtf16, Converts) {
  const Utf16Case& c = GetParam();
  EXPECT_EQ(utf8_of_utf16(c.text.c_str(), c.units), c.utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Utf8OfUtf16,
    ::testing::Values(Utf16Case{"Ascii", L"USB-GPIO", 9, "USB-GPIO"},
                      Utf16Case{"StopsAtNul", std::wstring(L"ab\0cd", 5), 5, "ab"},
                      // A device text that fills its buffer has no NUL: the count bounds it.
                      Utf16Case{"StopsAtTheCount", L"abcdef", 3, "abc"},
                      Utf16Case{"TwoAndThreeBytes", L"\u00e9\u20ac", 3, "\xc3\xa9\xe2\x82\xac"},
                      Utf16Case{"SurrogatePair", std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, 2,
                                "\xf0\x9f\x98\x80"},
                      Utf16Case{"LoneHighSurrogate", std::wstring{wchar_t(0xD83D), L'a'}, 2,
                                "\xef\xbf\xbd"
                                "a"},
                      Utf16Case{"HighSurrogateCutByTheCount",
                                std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, 1, "\xef\xbf\xbd"},
                      Utf16Case{"LoneLowSurrogate", std::wstring{wchar_t(0xDE00)}, 1,
                                "\xef\xbf\xbd"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace gpio_dll::transport
