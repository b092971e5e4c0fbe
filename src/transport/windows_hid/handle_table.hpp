// The port's handles are 32-bit numbers; Windows handles are pointers. The backend hands out
// numbers from this table and keeps the records (the Windows handles among them) behind them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>

namespace gpio_dll::transport {

template <class Record>
class HandleTable {
 public:
  // `first` is the first number given out; numbers below it are never given out (they are the
  // port's "no handle" values).
  explicit HandleTable(std::int32_t first = 1) : first_(first), next_(first) {}

  // A number that no live record holds.
  std::int32_t add(Record record) {
    while (records_.count(next_) != 0)
      advance();
    const std::int32_t number = next_;
    records_.emplace(number, std::move(record));
    advance();
    return number;
  }

  Record* find(std::int32_t number) {
    const auto it = records_.find(number);
    return it == records_.end() ? nullptr : &it->second;
  }

  std::optional<Record> take(std::int32_t number) {
    const auto it = records_.find(number);
    if (it == records_.end()) return std::nullopt;
    std::optional<Record> record(std::move(it->second));
    records_.erase(it);
    return record;
  }

  std::size_t size() const { return records_.size(); }

  template <class F>
  void for_each(F&& f) {
    for (auto& [number, record] : records_)
      f(number, record);
  }

 private:
  // Numbers count up and start again at `first_` after the largest one: a closed handle's
  // number comes back only after every other number has been used.
  void advance() { next_ = next_ == INT32_MAX ? first_ : next_ + 1; }

  const std::int32_t first_;
  std::int32_t next_;
  std::map<std::int32_t, Record> records_;
};

}  // namespace gpio_dll::transport
