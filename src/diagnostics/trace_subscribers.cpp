#include "diagnostics/trace_subscribers.hpp"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "base/module_state.hpp"

namespace gpio_dll::diagnostics {

namespace detail {
std::atomic<int> g_trace_subscribers{0};
}

namespace {

struct Subscriber {
  std::uint64_t id = 0;
  std::weak_ptr<const ModuleState> thread;  // expired and empty: every thread
  bool every_thread = false;
  TraceCallback callback;

  // Calls in flight, so that unsubscribing can wait for them to end.
  std::mutex mutex;
  std::condition_variable idle;
  int calls = 0;
  bool active = true;
};

struct Registry {
  std::mutex mutex;
  std::vector<std::shared_ptr<Subscriber>> subscribers;
  std::uint64_t next_id = 1;
};

// Never destroyed: threads may still trace while the process ends.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

// The subscribers whose callbacks run on this thread right now, innermost last.
thread_local std::vector<const Subscriber*> t_in_call;

bool hears(const Subscriber& s, const ModuleState& thread) {
  if (s.every_thread) return true;
  const auto owner = s.thread.lock();
  return owner.get() == &thread;
}

}  // namespace

std::uint64_t subscribe_trace(const std::shared_ptr<const ModuleState>& thread,
                              TraceCallback callback) {
  auto s = std::make_shared<Subscriber>();
  s->thread = thread;
  s->every_thread = thread == nullptr;
  s->callback = std::move(callback);
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  s->id = r.next_id++;
  r.subscribers.push_back(s);
  detail::g_trace_subscribers.store(static_cast<int>(r.subscribers.size()),
                                    std::memory_order_relaxed);
  return s->id;
}

void unsubscribe_trace(std::uint64_t id) {
  std::shared_ptr<Subscriber> s;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = std::find_if(r.subscribers.begin(), r.subscribers.end(),
                           [id](const auto& entry) { return entry->id == id; });
    if (it == r.subscribers.end()) return;
    s = *it;
    r.subscribers.erase(it);
    detail::g_trace_subscribers.store(static_cast<int>(r.subscribers.size()),
                                      std::memory_order_relaxed);
  }
  // Calls of this callback further up this thread's stack cannot end before this one returns.
  const auto own = std::count(t_in_call.begin(), t_in_call.end(), s.get());
  std::unique_lock lock(s->mutex);
  s->active = false;
  s->idle.wait(lock, [&] { return s->calls <= own; });
}

void deliver_trace(const ModuleState& thread, std::string_view line) {
  std::vector<std::shared_ptr<Subscriber>> hearing;
  {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    for (const auto& s : r.subscribers)
      if (hears(*s, thread)) hearing.push_back(s);
  }
  for (const auto& s : hearing) {
    {
      std::lock_guard lock(s->mutex);
      if (!s->active) continue;
      ++s->calls;
    }
    t_in_call.push_back(s.get());
    try {
      s->callback(line);
    } catch (...) {
    }
    t_in_call.pop_back();
    std::lock_guard lock(s->mutex);
    --s->calls;
    s->idle.notify_all();
  }
}

}  // namespace gpio_dll::diagnostics
