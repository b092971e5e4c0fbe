// The access gate "Check Access" in front of the debug window: a fresh 16-digit challenge, and
// a two-digit response that must complete it to a byte sequence whose packet error code is 0.
// One per client thread, created hidden at its first reference.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "base/thread_windows.hpp"
#include "diagnostics/thread_windows.hpp"
#include "diagnostics/window_model.hpp"
#include "diagnostics/windowing_port.hpp"

namespace gpio_dll::diagnostics {

class LoginForm final : public WindowModel, public ThreadWindow {
 public:
  static constexpr const char* kCaption = "Check Access";
  static constexpr const char* kNothingHere = "There's nothing here ;-)";
  static constexpr const char* kAccessDenied = "Access denied, try again!";
  static constexpr const char* kDeniedTitle = "Login";
  static constexpr std::size_t kResponseLimit = 16;
  static constexpr std::size_t kPasteLimit = 17;
  static constexpr char kBackspace = 8;
  static constexpr char kPaste = 22;  // Ctrl+V

  explicit LoginForm(ModuleState& owner);
  ~LoginForm() override;

  // Runs once, right after creation: a new challenge, an empty response.
  void startup();

  // Window events.
  void cmdOK_Click();
  void cmdCancel_Click();
  // A character typed into the response field, through the key filter (a paste inserts the
  // filtered clipboard text).
  void txtPassword_KeyPress(char code);

  // The key filter on its own: the character to let through (upper-cased), or nothing when the
  // key is dropped. A paste (Ctrl+V) filters the clipboard in place and passes when something
  // may be pasted.
  std::optional<char> filter_key(char code, std::size_t field_length);
  // The key filter for one typed character (not a paste): the character to insert, upper-cased,
  // or nothing.
  static std::optional<char> filter_character(char code, std::size_t field_length);
  // The paste filter: nothing for 17 characters or more; else the text without line ends,
  // upper-cased, hexadecimal digits only.
  static std::optional<std::string> filter_paste(const std::string& clipboard);

  // A key pressed in the response field, as a toolkit reports it.
  struct KeyStroke {
    enum class Kind {
      Character,  // a key that types `character` (its unmodified character under Ctrl)
      Backspace,
      Movement,  // moves the cursor or the focus only: arrows, Home, End, Tab, Enter, Escape
      Other,     // Delete, Insert, function keys, ...
    };
    Kind kind = Kind::Other;
    char character = 0;
    bool control = false;
    bool alt = false;  // Alt, Meta or Super
  };
  enum class KeyAction {
    Filter,     // `character` through filter_character
    Backspace,  // deletes as the field's own Backspace does
    Paste,      // Ctrl+V: the clipboard through filter_paste
    Move,       // the toolkit's own handling, which leaves the text alone
    Drop,       // nothing happens
  };
  // Only filtered characters, Backspace and Ctrl+V change the field: cut, undo, delete and
  // every other Ctrl or Alt combination are dropped.
  static KeyAction key_action(const KeyStroke& key);

  std::string txtUserName;  // the challenge field
  std::string txtPassword;  // the response field
  bool response_focused = false;

 private:
  void new_challenge();
};

// A uniform pseudo-random generator in [0, 1); the component does not seed it. Tests may put
// their own in place (an empty function restores the default).
double next_uniform();
void set_uniform_generator(std::function<double()> generator);

// Four hex digits from the time of day and the generator; sixteen from four of those.
std::string word_generator(const TimeOfDay& time);
std::string challenge_generator();

// ShowDbg: the message box for a non-empty optStr or a gate already passed, else the gate.
std::int32_t show_debug_gate(ModuleState& state, const std::string& optStr);

}  // namespace gpio_dll::diagnostics
