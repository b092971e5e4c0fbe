// The Win32 front end under wine on a virtual X server: the gate and the debug window made by
// ShowDbg, driven with the window messages a user's keys and clicks produce, read back through
// the models, and saved as pictures (BMP, turned into PNG by the test's script). Also: no desktop
// at all.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>

#include "diagnostics/win32/win32_windowing.hpp"
#include "support/headless_windows.hpp"
#include "window_capture.hpp"

namespace gpio_dll {
namespace {

using diagnostics::Form1;
using diagnostics::LoginForm;
using diagnostics::Win32Windowing;
using testing::on_fresh_thread;

constexpr char kReportHeader[] = "***** HID Test Report *****";

std::string text_of(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window, text.data(), length + 1);
  text.resize(copied > 0 && copied <= length ? static_cast<std::size_t>(copied) : 0);
  return text;
}

void press(HWND button) {
  SendMessageW(button, BM_CLICK, 0, 0);
}

// Characters as the keyboard sends them to the focused field.
void type(HWND field, const std::string& keys) {
  for (char c : keys)
    SendMessageW(field, WM_CHAR, static_cast<unsigned char>(c), 1);
}

// A user's choice in a drop-down list: the selection, then its notification to the window.
void pick(HWND list, int entry) {
  SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(entry), 0);
  SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
}

void put_clipboard(const std::string& text) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  std::memcpy(GlobalLock(data), text.c_str(), text.size() + 1);
  GlobalUnlock(data);
  SetClipboardData(CF_TEXT, data);
  CloseClipboard();
}

std::string clipboard() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    text = static_cast<const char*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

// The window of the thread's GUI that has the keyboard focus.
HWND focus_of(HWND window) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus
                                                                            : nullptr;
}

class Win32FrontEnd : public testing::SimulatedModuleTest {
 protected:
  void SetUp() override {
    SimulatedModuleTest::SetUp();
    port_ = Win32Windowing::create();
    if (!port_) {
      if (std::getenv("GPIO_DLL_REQUIRE_DISPLAY") != nullptr) FAIL() << "no desktop";
      GTEST_SKIP() << "the Win32 front end's tests need a desktop (wine with a display)";
    }
    diagnostics::set_windowing(port_);
  }

  HWND control(const diagnostics::WindowModel& window, const std::string& name) {
    return static_cast<HWND>(port_->control_handle(window, name));
  }

  void screenshot(HWND window, const std::string& name) {
    std::filesystem::create_directories(GPIO_DLL_ARTIFACT_DIR);
    EXPECT_TRUE(testing::save_window_bitmap(
        window, std::string(GPIO_DLL_ARTIFACT_DIR) + "/" + name + ".bmp"));
  }

  // Opens the gate on the calling thread and passes it with the right digest.
  Form1* open_debug_window() {
    auto& state = ModuleState::current();
    std::string none;
    cls_GPIO_DLL().ShowDbg(none);
    port_->settle();
    auto* gate = diagnostics::existing_login_form(state);
    if (gate == nullptr) return nullptr;
    type(control(*gate, "txtPassword"), testing::gate_digest(state.access_gate.challenge));
    press(control(*gate, "cmdOK"));
    port_->settle();
    return diagnostics::existing_debug_window(state);
  }

  std::shared_ptr<Win32Windowing> port_;
};

TEST_F(Win32FrontEnd, TheGateTakesTheTypedDigestAndOpensTheDebugWindow) {
  on_fresh_thread([&] {
    auto& state = ModuleState::current();
    std::string none;
    EXPECT_EQ(cls_GPIO_DLL().ShowDbg(none), 0);
    port_->settle();
    auto* gate = diagnostics::existing_login_form(state);
    ASSERT_NE(gate, nullptr);
    HWND window = control(*gate, "window");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(text_of(window), LoginForm::kCaption);
    EXPECT_EQ(text_of(control(*gate, "txtUserName")), state.access_gate.challenge);
    HWND response = control(*gate, "txtPassword");
    EXPECT_EQ(SendMessageW(response, EM_GETPASSWORDCHAR, 0, 0), '*');
    EXPECT_EQ(focus_of(window), response);

    // The key filter is the model's: 'g' is dropped, lower case comes out upper case.
    const std::string digest = testing::gate_digest(state.access_gate.challenge);
    std::string keys = "g";
    for (char c : digest)
      keys += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    type(response, keys);
    EXPECT_EQ(text_of(response), digest);
    screenshot(window, "win32_check_access");

    press(control(*gate, "cmdOK"));
    port_->settle();
    EXPECT_FALSE(IsWindowVisible(window));
    auto* debug = diagnostics::existing_debug_window(state);
    ASSERT_NE(debug, nullptr);
    HWND form = control(*debug, "window");
    EXPECT_TRUE(IsWindowVisible(form));
    EXPECT_EQ(text_of(form), Form1::kCaption);
    for (int i = 1; i < 4; ++i) {
      const std::string name = "Text3(" + std::to_string(i) + ")";
      EXPECT_EQ(text_of(control(*debug, name)), debug->Text3[static_cast<std::size_t>(i)]) << name;
    }
    EXPECT_EQ(text_of(control(*debug, "Text3(3)")), "2.0.19");
    for (int k = 0; k < Form1::kPickers; ++k) {
      HWND picker = control(*debug, "Combo1(" + std::to_string(k) + ")");
      EXPECT_EQ(SendMessageW(picker, CB_GETCOUNT, 0, 0), 256);
      EXPECT_EQ(SendMessageW(picker, CB_GETCURSEL, 0, 0),
                debug->Combo1[static_cast<std::size_t>(k)]);
    }
    EXPECT_EQ(text_of(control(*debug, "Text1")), debug->Text1);
  });
}

TEST_F(Win32FrontEnd, TheDebugWindowsControlsDriveTheModel) {
  on_fresh_thread([&] {
    Form1* opened = open_debug_window();
    ASSERT_NE(opened, nullptr);
    Form1& window = *opened;
    // Byte 0 picked, increment box 1 checked, then a report sent once.
    pick(control(window, "Combo1(0)"), 0x5A);
    press(control(window, "Check1(1)"));
    port_->settle();
    EXPECT_EQ(window.Combo1[0], 0x5A);
    EXPECT_TRUE(window.Check1[1]);
    EXPECT_EQ(window.Text1.substr(0, 4), "5A0B");
    const int before = window.Combo1[1];
    press(control(window, "cmdOnce"));
    port_->settle();
    EXPECT_EQ(window.Combo1[1], before + 1);
    EXPECT_EQ(SendMessageW(control(window, "Combo1(1)"), CB_GETCURSEL, 0, 0), before + 1);
    EXPECT_EQ(text_of(control(window, "Text16")), "End.");
    EXPECT_EQ(text_of(control(window, "Text2")), window.Text2);
    HWND list = control(window, "ListBox1");
    EXPECT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), static_cast<LRESULT>(window.ListBox1.count()));
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), window.ListBox1.selected());
    EXPECT_GT(window.ListBox1.count(), 0u);

    // The request field edited by hand (two digits typed over): upper case, pickers applied.
    HWND request = control(window, "Text1");
    const std::string head = window.Text1.substr(0, 10);
    SendMessageW(request, EM_SETSEL, 10, 12);
    SendMessageA(request, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("ab"));
    port_->settle();
    EXPECT_EQ(window.Text1, head + "AB" + std::string(116, '0'));
    EXPECT_EQ(text_of(request), window.Text1);
    press(control(window, "Command19"));
    port_->settle();
    EXPECT_EQ(window.Text1, std::string(128, '0'));
    EXPECT_EQ(text_of(request), window.Text1);

    // EEPROM progress reaches the bar.
    {
      std::lock_guard lock(window.owner().operation_mutex);
      window.set_progress_range(0, 640);
      window.set_progress(160);
      window.refresh();
    }
    port_->settle();
    HWND bar = control(window, "ProgressBar1");
    EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 640);
    EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 160);
    screenshot(control(window, "window"), "win32_gpio_dll_debug_module");

    // Closing the window unloads it.
    HWND form = control(window, "window");
    SendMessageW(form, WM_CLOSE, 0, 0);
    port_->settle();
    EXPECT_EQ(diagnostics::existing_debug_window(ModuleState::current()), nullptr);
    EXPECT_FALSE(IsWindow(form));
  });
}

TEST_F(Win32FrontEnd, ContinuousRepeatsOnTheTimerUntilStop) {
  on_fresh_thread([&] {
    Form1* opened = open_debug_window();
    ASSERT_NE(opened, nullptr);
    Form1& window = *opened;
    std::mutex mutex;
    std::condition_variable reported;
    int reports = 0;
    window.set_trace_observer([&](const std::string& line) {
      if (line != kReportHeader) return;
      std::lock_guard lock(mutex);
      ++reports;
      reported.notify_all();
    });
    HWND button = control(window, "cmdContinuous");
    press(button);
    port_->settle();
    EXPECT_EQ(text_of(button), "STOP");
    EXPECT_TRUE(window.Timer1_Enabled);
    EXPECT_EQ(port_->running_timers(), 1u);
    {
      // One report at once, then one on each tick of the 750 ms timer.
      std::unique_lock lock(mutex);
      EXPECT_TRUE(reported.wait_for(lock, std::chrono::seconds(10), [&] { return reports >= 3; }));
    }
    press(button);
    port_->settle();
    EXPECT_EQ(text_of(button), "Continuous");
    EXPECT_FALSE(window.Timer1_Enabled);
    EXPECT_EQ(port_->running_timers(), 0u);
    std::lock_guard operation(window.owner().operation_mutex);
    window.set_trace_observer(nullptr);
  });
}

TEST_F(Win32FrontEnd, AWrongDigestIsRefusedAndTheFocusReturnsToTheResponse) {
  on_fresh_thread([&] {
    auto& state = ModuleState::current();
    std::string none;
    cls_GPIO_DLL().ShowDbg(none);
    port_->settle();
    auto* gate = diagnostics::existing_login_form(state);
    ASSERT_NE(gate, nullptr);
    const std::string challenge = state.access_gate.challenge;
    HWND response = control(*gate, "txtPassword");
    type(response, "0");
    // The refusal's message box holds the event until it is closed.
    press(control(*gate, "cmdOK"));
    EXPECT_TRUE(port_->close_message_box());
    port_->settle();
    EXPECT_NE(state.access_gate.challenge, challenge);
    EXPECT_EQ(text_of(control(*gate, "txtUserName")), state.access_gate.challenge);
    EXPECT_EQ(text_of(response), "");
    EXPECT_TRUE(IsWindowVisible(control(*gate, "window")));
    EXPECT_EQ(focus_of(response), response);

    press(control(*gate, "cmdCancel"));
    port_->settle();
    EXPECT_FALSE(IsWindowVisible(control(*gate, "window")));
    EXPECT_FALSE(state.access_gate.gate_passed);
  });
}

// What reaches the response field besides typed hex digits: each step on the field as the one
// before left it.
TEST_F(Win32FrontEnd, TheResponseFieldFiltersKeysAndPastes) {
  on_fresh_thread([&] {
    std::string none;
    cls_GPIO_DLL().ShowDbg(none);
    port_->settle();
    auto* gate = diagnostics::existing_login_form(ModuleState::current());
    ASSERT_NE(gate, nullptr);
    HWND field = control(*gate, "txtPassword");
    struct Step {
      const char* what;
      std::function<void()> act;
      std::string field;
    };
    const Step steps[] = {
        {"hex digits, one not", [&] { type(field, "1a-"); }, "1A"},
        {"Ctrl+X, Ctrl+Z", [&] { type(field, "\x18\x1a"); }, "1A"},
        {"Delete", [&] { SendMessageW(field, WM_KEYDOWN, VK_DELETE, 0); }, "1A"},
        {"Backspace", [&] { type(field, "\b"); }, "1"},
        {"Ctrl+V of a filtered clipboard",
         [&] {
           put_clipboard("b2\r\nzz");
           type(field, "\x16");
         },
         "1B2"},
        {"a paste of 17 characters",
         [&] {
           put_clipboard(std::string(17, 'C'));
           SendMessageW(field, WM_PASTE, 0, 0);
         },
         "1B2"},
        {"past 16 typed characters", [&] { type(field, std::string(20, 'e')); },
         "1B2" + std::string(13, 'E')},
    };
    for (const Step& step : steps) {
      step.act();
      EXPECT_EQ(text_of(field), step.field) << step.what;
    }
    EXPECT_EQ(clipboard(), std::string(17, 'C'));
  });
}

// Run by plain wine, with no display: no window can be made, the windows run headless and the
// client goes on.
TEST(NoDesktop, TheWindowsRunHeadlessAndTheClientKeepsRunning) {
  if (std::getenv("GPIO_DLL_NO_DESKTOP_RUN") == nullptr)
    GTEST_SKIP() << "runs without a display, as its own test";
  EXPECT_EQ(Win32Windowing::create(), nullptr);
  auto setup = sim::install_simulated_module();
  EXPECT_FALSE(debug_window::on_display());
  on_fresh_thread([] {
    cls_GPIO_DLL dll;
    std::string none;
    EXPECT_EQ(dll.ShowDbg(none), 0);
    std::string fw, vid, pid;
    EXPECT_EQ(dll.GPIO_FW_VER_Read(fw, vid, pid), OK);
    EXPECT_TRUE(debug_window::open());  // the gate, headless
  });
  platform::use_system();
}

}  // namespace
}  // namespace gpio_dll
