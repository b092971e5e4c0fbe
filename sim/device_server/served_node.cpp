#include "served_node.hpp"

#include <algorithm>
#include <cerrno>

namespace gpio_dll::sim {

namespace {
constexpr std::size_t kQueuedReportLimit = 64;  // per open file, like the kernel's hidraw
}  // namespace

// Where the module's answers to one written report go.
class ServedNode::Sink final : public InputReportSink {
 public:
  explicit Sink(ServedNode& node) : node_(node) {}
  void send_input_report(std::vector<std::uint8_t> report, std::uint32_t delay_ms) override {
    node_.send(std::move(report), delay_ms);
  }

 private:
  ServedNode& node_;
};

void ServedNode::release(std::uint64_t fh) {
  auto it = files_.find(fh);
  if (it == files_.end()) return;
  for (auto& [req, size] : it->second.waiting_reads)
    fuse_reply_err(req, EINTR);
  if (it->second.poll_handle != nullptr) fuse_pollhandle_destroy(it->second.poll_handle);
  files_.erase(it);
}

bool ServedNode::interrupt(fuse_req_t req) {
  for (auto& [fh, file] : files_)
    for (auto it = file.waiting_reads.begin(); it != file.waiting_reads.end(); ++it)
      if (it->first == req) {
        file.waiting_reads.erase(it);
        fuse_reply_err(req, EINTR);
        return true;
      }
  return false;
}

void ServedNode::write(std::span<const std::uint8_t> report) {
  Sink sink(*this);
  module_->on_output_report(report, sink);
}

void ServedNode::send(std::vector<std::uint8_t> report, std::uint32_t delay_ms) {
  if (delay_ms == 0 && delayed_.empty()) return deliver(std::move(report));
  Clock::time_point due = Clock::now() + std::chrono::milliseconds(delay_ms);
  if (!delayed_.empty()) due = std::max(due, delayed_.back().first);
  delayed_.emplace_back(due, std::move(report));
}

std::optional<ServedNode::Clock::time_point> ServedNode::next_due() const {
  if (delayed_.empty()) return std::nullopt;
  return delayed_.front().first;
}

void ServedNode::deliver_due(Clock::time_point now) {
  while (!delayed_.empty() && delayed_.front().first <= now) {
    auto report = std::move(delayed_.front().second);
    delayed_.pop_front();
    deliver(std::move(report));
  }
}

void ServedNode::deliver(std::vector<std::uint8_t> report) {
  if (!report.empty()) report.erase(report.begin());
  for (auto& [fh, file] : files_) {
    if (!file.waiting_reads.empty()) {
      auto [req, size] = file.waiting_reads.front();
      file.waiting_reads.pop_front();
      const auto reply = reply_bytes(report, size);
      fuse_reply_buf(req, reinterpret_cast<const char*>(reply.data()), reply.size());
      continue;
    }
    if (file.queue.size() == kQueuedReportLimit) file.queue.pop_front();
    file.queue.push_back(report);
    if (file.poll_handle != nullptr) {
      fuse_lowlevel_notify_poll(file.poll_handle);
      fuse_pollhandle_destroy(file.poll_handle);
      file.poll_handle = nullptr;
    }
  }
}

std::vector<std::uint8_t> ServedNode::reply_bytes(const std::vector<std::uint8_t>& report,
                                                  std::size_t asked) const {
  std::vector<std::uint8_t> reply = report;
  if (faults.report_length)
    reply.resize(*faults.report_length, 0xEE);
  else
    reply.resize(std::min(asked, report.size()));
  return reply;
}

}  // namespace gpio_dll::sim
