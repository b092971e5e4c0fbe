// The access gate and ShowDbg, headless.
#include <gtest/gtest.h>

#include <set>

#include "support/headless_windows.hpp"

namespace gpio_dll {
namespace {

using diagnostics::LoginForm;
using testing::on_fresh_thread;

class AccessGate : public testing::HeadlessWindowsTest {
 protected:
  LoginForm& gate() { return diagnostics::login_form(ModuleState::current()); }
  void type(const std::string& keys) {
    for (char c : keys)
      gate().txtPassword_KeyPress(c);
  }
  std::size_t boxes() { return windows().message_boxes().size(); }
};

bool is_challenge(const std::string& text) {
  if (text.size() != 16) return false;
  for (char c : text)
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
  return true;
}

TEST_F(AccessGate, ShowDbgOpensTheGateWithAFreshChallenge) {
  on_fresh_thread([&] {
    std::string none;
    EXPECT_EQ(cls_GPIO_DLL().ShowDbg(none), 0);
    EXPECT_TRUE(gate().visible());
    EXPECT_TRUE(is_challenge(gate().txtUserName)) << gate().txtUserName;
    EXPECT_EQ(gate().txtUserName, ModuleState::current().access_gate.challenge);
    EXPECT_EQ(gate().txtPassword, "");
    EXPECT_EQ(boxes(), 0u);
    // The gate does not create the debug window.
    EXPECT_FALSE(ModuleState::current().has_debug_window());
  });
}

TEST_F(AccessGate, AnyOptStrShowsOnlyTheMessageBox) {
  on_fresh_thread([&] {
    for (const char* text : {" ", "debug", "x"}) {
      std::string opt = text;
      EXPECT_EQ(cls_GPIO_DLL().ShowDbg(opt), 0);
    }
    const auto shown = windows().message_boxes();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].text, "There's nothing here ;-)");
    EXPECT_EQ(shown[0].title, "");
    EXPECT_EQ(diagnostics::existing_login_form(ModuleState::current()), nullptr);
  });
}

TEST_F(AccessGate, TheRightDigestOpensTheDebugWindowAndAWrongOneIsRefused) {
  on_fresh_thread([&] {
    std::string none;
    cls_GPIO_DLL().ShowDbg(none);
    // Wrong: one digit, three digits, not hex, the wrong pair.
    for (const std::string response : {"1", "123", "GG", "00"}) {
      const std::string challenge = gate().txtUserName;
      if (response == "00" && digest(challenge) == "00") continue;
      gate().txtPassword = response;
      gate().cmdOK_Click();
      EXPECT_TRUE(gate().visible()) << response;
      EXPECT_NE(gate().txtUserName, challenge) << response;
      EXPECT_EQ(gate().txtPassword, "");
      EXPECT_TRUE(gate().response_focused);
      const auto last = windows().message_boxes().back();
      EXPECT_EQ(last.text, "Access denied, try again!");
      EXPECT_EQ(last.title, "Login");
    }
    const std::size_t refused = boxes();
    const std::string challenge = gate().txtUserName;
    type(digest(challenge));
    gate().cmdOK_Click();
    EXPECT_EQ(boxes(), refused);
    EXPECT_FALSE(gate().visible());
    EXPECT_NE(gate().txtUserName, challenge);
    auto& state = ModuleState::current();
    ASSERT_TRUE(state.has_debug_window());
    EXPECT_TRUE(diagnostics::debug_window(state).visible());
    // Creating the window ran its start-up, which closed the gate again.
    EXPECT_FALSE(state.access_gate.gate_passed);
    EXPECT_EQ(diagnostics::debug_window(state).Text3[3], "2.0.19");
  });
}

TEST_F(AccessGate, PassingWhileTheWindowExistsKeepsTheGatePassed) {
  on_fresh_thread([&] {
    auto& state = ModuleState::current();
    diagnostics::debug_window(state);  // the transport traced into it already
    std::string none;
    cls_GPIO_DLL().ShowDbg(none);
    type(digest(gate().txtUserName));
    gate().cmdOK_Click();
    EXPECT_TRUE(state.access_gate.gate_passed);
    EXPECT_TRUE(diagnostics::debug_window(state).visible());
    cls_GPIO_DLL().ShowDbg(none);
    EXPECT_EQ(windows().message_boxes().back().text, "There's nothing here ;-)");
    // Until the window is created anew.
    state.unload_debug_window();
    diagnostics::debug_window(state);
    EXPECT_FALSE(state.access_gate.gate_passed);
    cls_GPIO_DLL().ShowDbg(none);
    EXPECT_TRUE(gate().visible());
  });
}

TEST_F(AccessGate, CancelClosesTheGateWithANewChallenge) {
  on_fresh_thread([&] {
    std::string none;
    cls_GPIO_DLL().ShowDbg(none);
    const std::string challenge = gate().txtUserName;
    ModuleState::current().access_gate.gate_passed = true;
    type("AB");
    gate().cmdCancel_Click();
    EXPECT_FALSE(gate().visible());
    EXPECT_FALSE(ModuleState::current().access_gate.gate_passed);
    EXPECT_NE(gate().txtUserName, challenge);
    EXPECT_EQ(gate().txtPassword, "");
  });
}

TEST_F(AccessGate, TheKeyFilterLetsOnly16HexDigitsThrough) {
  on_fresh_thread([&] {
    type("0123456789abcdef");
    EXPECT_EQ(gate().txtPassword, "0123456789ABCDEF");
    type("A");  // a seventeenth digit
    EXPECT_EQ(gate().txtPassword, "0123456789ABCDEF");
    gate().txtPassword.clear();
    type("g -.b");
    EXPECT_EQ(gate().txtPassword, "B");
    gate().txtPassword_KeyPress(LoginForm::kBackspace);
    EXPECT_EQ(gate().txtPassword, "");
    EXPECT_GT(windows().pending_message_rounds(), 0);
  });
}

TEST_F(AccessGate, ThePasteFilterCleansTheClipboard) {
  on_fresh_thread([&] {
    windows().clipboard_put("1a-2F");
    gate().txtPassword_KeyPress(LoginForm::kPaste);
    EXPECT_EQ(gate().txtPassword, "1A2F");
    EXPECT_EQ(windows().clipboard_text(), "1A2F");    // the clipboard keeps the filtered text
    windows().clipboard_put("0123456789ABCDEF0123");  // 20 characters: nothing pasted
    gate().txtPassword_KeyPress(LoginForm::kPaste);
    EXPECT_EQ(gate().txtPassword, "1A2F");
    EXPECT_EQ(windows().clipboard_text(), "0123456789ABCDEF0123");
    windows().clipboard_put("\r\nff\r\n");
    gate().txtPassword_KeyPress(LoginForm::kPaste);
    EXPECT_EQ(gate().txtPassword, "1A2FFF");
    EXPECT_EQ(LoginForm::filter_paste("0123456789ABCDEF"), "0123456789ABCDEF");  // 16: pasted
    EXPECT_EQ(LoginForm::filter_paste("0123456789ABCDEFA"), std::nullopt);       // 17: not
  });
}

TEST_F(AccessGate, ChallengesFollowTheWordGenerator) {
  // Second 30, minute 40, r = 0.4: x = 30 * 40 * 10000 / 0.5 = 24000000; 24000000 mod 65535 =
  // 14190 = 0x376E.
  diagnostics::set_uniform_generator([] { return 0.4; });
  EXPECT_EQ(diagnostics::word_generator({12, 40, 30}), "376E");
  // Second 0: x = r2 * 1000 / (r1 + 0.1) with r1 = r2 = 0.4: 800.
  EXPECT_EQ(diagnostics::word_generator({12, 40, 0}), "0320");
  // Halves go to the even neighbour: with r1 = 0.9, x = r2 * 1000, so 2.5 gives 2, 3.5 gives 4.
  for (const auto& [r2, word] : {std::pair{0.0025, "0002"}, std::pair{0.0035, "0004"}}) {
    std::vector<double> draws = {0.5, 0.9, r2};  // r (unused: x is 0), r1, r2
    std::size_t next = 0;
    diagnostics::set_uniform_generator([&] { return draws[next++]; });
    EXPECT_EQ(diagnostics::word_generator({0, 0, 0}), word);
  }
  diagnostics::set_uniform_generator(nullptr);
  std::set<std::string> seen;
  for (int i = 0; i < 50; ++i) {
    windows().set_time_of_day({10, i % 60, (i * 7) % 60});
    const std::string challenge = diagnostics::challenge_generator();
    EXPECT_TRUE(is_challenge(challenge)) << challenge;
    seen.insert(challenge);
  }
  EXPECT_GT(seen.size(), 40u);
}

// Which keys may change the response field: filtered characters, Backspace and Ctrl+V only.
struct KeyCase {
  LoginForm::KeyStroke key;
  LoginForm::KeyAction action;
  const char* what;
};

TEST(ResponseKeys, OnlyCharactersBackspaceAndCtrlVChangeTheField) {
  using Kind = LoginForm::KeyStroke::Kind;
  using Action = LoginForm::KeyAction;
  const std::vector<KeyCase> cases = {
      {{Kind::Character, 'a'}, Action::Filter, "a"},
      {{Kind::Character, 'g'}, Action::Filter, "g (the filter drops it)"},
      {{Kind::Character, '7'}, Action::Filter, "7"},
      {{Kind::Backspace}, Action::Backspace, "Backspace"},
      {{Kind::Character, 'v', true}, Action::Paste, "Ctrl+V"},
      {{Kind::Character, 'V', true}, Action::Paste, "Ctrl+Shift+V"},
      {{Kind::Character, 'x', true}, Action::Drop, "Ctrl+X (cut)"},
      {{Kind::Character, 'z', true}, Action::Drop, "Ctrl+Z (undo)"},
      {{Kind::Character, 'y', true}, Action::Drop, "Ctrl+Y (redo)"},
      {{Kind::Character, 'a', true}, Action::Drop, "Ctrl+A"},
      {{Kind::Character, 'c', true}, Action::Drop, "Ctrl+C"},
      {{Kind::Character, 'd', true}, Action::Drop, "Ctrl+D"},
      {{Kind::Character, 'k', true}, Action::Drop, "Ctrl+K"},
      {{Kind::Character, 'v', false, true}, Action::Drop, "Alt+V"},
      {{Kind::Character, 'v', true, true}, Action::Drop, "Ctrl+Alt+V"},
      {{Kind::Character, 'b', false, true}, Action::Drop, "Alt+B"},
      {{Kind::Backspace, 0, true}, Action::Drop, "Ctrl+Backspace"},
      {{Kind::Backspace, 0, false, true}, Action::Drop, "Alt+Backspace"},
      {{Kind::Other}, Action::Drop, "Delete, Insert, Shift+Insert"},
      {{Kind::Other, 0, true}, Action::Drop, "Ctrl+Insert"},
      {{Kind::Movement}, Action::Move, "arrows, Home, End, Tab, Enter"},
      {{Kind::Movement, 0, true}, Action::Drop, "Ctrl+Left"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(LoginForm::key_action(c.key), c.action) << c.what;
}

}  // namespace
}  // namespace gpio_dll
