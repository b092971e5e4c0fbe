#include "diagnostics/login_form.hpp"

#include <cctype>
#include <cmath>
#include <mutex>
#include <random>

#include "base/hex_text.hpp"
#include "base/module_state.hpp"
#include "diagnostics/form1.hpp"
#include "transactions/packet_error_code.hpp"

namespace gpio_dll::diagnostics {

namespace {

std::mutex g_generator_mutex;
std::function<double()> g_generator;

bool is_hex_digit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

char upper_hex_letter(char c) {
  return c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

double next_uniform() {
  std::lock_guard lock(g_generator_mutex);
  if (g_generator) return g_generator();
  static std::mt19937 engine;  // default seed: the component does not seed it
  static std::uniform_real_distribution<double> uniform(0.0, 1.0);
  return uniform(engine);
}

void set_uniform_generator(std::function<double()> generator) {
  std::lock_guard lock(g_generator_mutex);
  g_generator = std::move(generator);
}

std::string word_generator(const TimeOfDay& time) {
  const double k = 10000;
  const double r = next_uniform();
  double x = time.second * time.minute * k / (r + 0.1);
  if (x == 0) {
    const double r1 = next_uniform();
    const double r2 = next_uniform();
    x = r2 * 1000 / (r1 + 0.1);
  }
  // Nearest whole number, halves to the even neighbour, then mod 65535 (not 65536).
  const auto n = static_cast<std::int64_t>(std::nearbyint(x)) % 65535;
  std::int32_t high = 0;
  std::int32_t low = 0;
  split_word(static_cast<std::int32_t>(n), high, low);
  return two_bytes_as_hex(high, low);
}

std::string challenge_generator() {
  std::string challenge;
  for (int i = 0; i < 4; ++i)
    challenge += word_generator(windowing().time_of_day());
  return challenge;
}

LoginForm::LoginForm(ModuleState& owner) : WindowModel(owner, Kind::AccessGate) {
  windowing().window_created(*this);
}

LoginForm::~LoginForm() {
  windowing().window_unloaded(*this);
}

void LoginForm::startup() {
  new_challenge();
}

void LoginForm::new_challenge() {
  owner().access_gate.challenge = challenge_generator();
  txtUserName = owner().access_gate.challenge;
  txtPassword.clear();
  changed();
}

void LoginForm::cmdOK_Click() {
  ModuleState& state = owner();
  const std::string& challenge = state.access_gate.challenge;
  const std::string& response = txtPassword;
  bool accepted = false;
  if (challenge.size() == 16 && response.size() == 2 &&
      std::isxdigit(static_cast<unsigned char>(response[0])) &&
      std::isxdigit(static_cast<unsigned char>(response[1])))
    accepted = packet_error_code(challenge + response) == 0;
  if (accepted) {
    state.access_gate.gate_passed = true;
    new_challenge();
    hide();
    // Creating the window runs its start-up, which closes the gate again.
    debug_window(state).show();
    return;
  }
  windowing().message_box(kAccessDenied, kDeniedTitle);
  new_challenge();
  response_focused = true;
  changed(true);
}

void LoginForm::cmdCancel_Click() {
  owner().access_gate.gate_passed = false;
  hide();
  new_challenge();
}

std::optional<std::string> LoginForm::filter_paste(const std::string& clipboard) {
  if (clipboard.size() >= kPasteLimit) return std::nullopt;
  std::string filtered;
  for (char c : clipboard) {
    if (c == '\r' || c == '\n') continue;
    c = upper_hex_letter(c);
    if (is_hex_digit(c)) filtered += c;
  }
  return filtered;
}

std::optional<char> LoginForm::filter_character(char code, std::size_t field_length) {
  if (code == kBackspace) return code;
  code = upper_hex_letter(code);
  if (is_hex_digit(code) && field_length < kResponseLimit) return code;
  return std::nullopt;
}

LoginForm::KeyAction LoginForm::key_action(const KeyStroke& key) {
  using Kind = KeyStroke::Kind;
  if (key.alt) return KeyAction::Drop;
  if (key.control)
    return key.kind == Kind::Character && (key.character == 'v' || key.character == 'V')
               ? KeyAction::Paste
               : KeyAction::Drop;
  switch (key.kind) {
    case Kind::Character:
      return KeyAction::Filter;
    case Kind::Backspace:
      return KeyAction::Backspace;
    case Kind::Movement:
      return KeyAction::Move;
    case Kind::Other:
      break;
  }
  return KeyAction::Drop;
}

std::optional<char> LoginForm::filter_key(char code, std::size_t field_length) {
  if (code == kBackspace) return code;
  if (code == kPaste) {
    const auto filtered = filter_paste(windowing().clipboard_text());
    if (!filtered) return std::nullopt;
    windowing().clipboard_clear();
    windowing().process_pending_messages();
    windowing().clipboard_put(*filtered);
    windowing().process_pending_messages();
    return code;
  }
  windowing().process_pending_messages();
  return filter_character(code, field_length);
}

void LoginForm::txtPassword_KeyPress(char code) {
  const auto passed = filter_key(code, txtPassword.size());
  if (!passed) return;
  if (*passed == kBackspace) {
    if (!txtPassword.empty()) txtPassword.pop_back();
  } else if (*passed == kPaste) {
    txtPassword += windowing().clipboard_text();  // a paste is not held to 16 characters
  } else {
    txtPassword += *passed;
  }
  changed();
}

std::int32_t show_debug_gate(ModuleState& state, const std::string& optStr) {
  if (!optStr.empty() || state.access_gate.gate_passed) {
    windowing().message_box(LoginForm::kNothingHere, "");
    return 0;
  }
  login_form(state).show();
  return 0;
}

}  // namespace gpio_dll::diagnostics
