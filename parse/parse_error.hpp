// What the text parsers throw: why a word could not be used, without naming the argument.
#pragma once

#include <stdexcept>
#include <string>

namespace gpio_dll::parse {

class ParseError : public std::invalid_argument {
 public:
  // `word` is the text as given, `reason` why it was refused ("is not a number").
  ParseError(std::string word, std::string reason)
      : std::invalid_argument(word + ": " + reason),
        word_(std::move(word)),
        reason_(std::move(reason)) {}

  const std::string& word() const { return word_; }
  const std::string& reason() const { return reason_; }

 private:
  std::string word_;
  std::string reason_;
};

}  // namespace gpio_dll::parse
