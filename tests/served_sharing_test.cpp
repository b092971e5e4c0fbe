// One served module shared by several processes, each with several threads, through the kernel:
// every open file of the node receives every input report, so answers would cross without the
// stale-report discard and the device lock (flock). The users are this test binary run again in
// a worker mode (ServedSharingWorker.Run, chosen by GPIO_DLL_SHARING_WORKER); each reports its
// counts through a pipe and waits for the start through another.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gpio_dll/gpio_dll.hpp"
#include "support/built_program.hpp"
#include "support/served_module.hpp"
#include "support/test_support.hpp"

namespace gpio_dll {
namespace {

constexpr int kProcesses = 4;
constexpr int kThreads = 4;
constexpr int kRounds = 20;
constexpr int kBlockBytes = 90;  // two segments on "2.0.19"
constexpr std::int16_t kBattery = 0x16;

std::uint8_t word_register(int user) {
  return static_cast<std::uint8_t>(0x60 + user);
}
std::uint16_t word_of(int user) {
  return static_cast<std::uint16_t>(0x0101 * (user + 1) + 0x1000 * (user % 3));
}
std::uint8_t block_register(int user) {
  return static_cast<std::uint8_t>(0x30 + user);
}
ByteArray block_of(int user) {
  ByteArray b(kBlockBytes);
  for (std::size_t i = 0; i < b.size(); ++i)
    b[i] = static_cast<std::uint8_t>(user * 37 + i * 5 + 1);
  return b;
}
ByteArray eeprom_image() {
  ByteArray image(8192);
  for (std::size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<std::uint8_t>(i * 11 + (i >> 8) + 3);
  return image;
}

std::int32_t identify(cls_GPIO_DLL& dll) {
  std::string fw, vid, pid;
  return dll.GPIO_FW_VER_Read(fw, vid, pid);
}

int read_word(cls_GPIO_DLL& dll, std::uint8_t reg) {
  std::int16_t cmd = reg, target = kBattery;
  std::int32_t high = 0, low = 0;
  if (dll.GPIO_ReadSMBusWord(cmd, high, low, target) != OK) return -1;
  return high * 256 + low;
}

struct Counts {
  int wrong = 0;
  int failed = 0;
  int transactions = 0;
  // One transaction: whether the call succeeded and, if it did, whether its answer was right.
  void add(bool succeeded, bool right) {
    ++transactions;
    failed += !succeeded;
    wrong += succeeded && !right;
  }
  void add(const Counts& other) {
    wrong += other.wrong;
    failed += other.failed;
    transactions += other.transactions;
  }
};

// Blocks until the other end of `fd` is closed.
void wait_for_close(int fd) {
  char c;
  while (read(fd, &c, 1) > 0) {
  }
}

// ---- worker side: runs in a child process ----

// One thread's share: words, two-segment blocks and one whole module EEPROM read, every answer
// checked against the values that belong to `user`.
Counts run_user(int user, std::atomic<int>& ready, const std::atomic<bool>& started) {
  Counts counts;
  cls_GPIO_DLL dll;
  const bool identified = identify(dll) == OK;
  ++ready;
  if (!identified) return Counts{0, 1, 0};
  while (!started.load())
    std::this_thread::yield();
  const ByteArray block = block_of(user);
  for (int round = 0; round < kRounds; ++round) {
    const int value = read_word(dll, word_register(user));
    counts.add(value >= 0, value == word_of(user));
    std::int16_t cmd = block_register(user), count = 0, target = kBattery;
    ByteArray got;
    const bool read = dll.GPIO_ReadSMBusBlock(cmd, got, count, target) == OK;
    counts.add(read, got == block);
    if (round == user % kRounds) {
      std::string fw = "2.0.19";
      ByteArray image;
      const bool read_image = dll.GPIO_FW_EEP_Read(fw, image) == OK;
      counts.add(read_image, image == eeprom_image());
    }
  }
  return counts;
}

void report(int fd, const Counts& c) {
  const std::string line = std::to_string(c.wrong) + " " + std::to_string(c.failed) + " " +
                           std::to_string(c.transactions) + "\n";
  ASSERT_EQ(write(fd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
}

// The battery's RelativeStateOfCharge, read with PEC (0x17) or without (0x16): the value, or the
// negated result of a failed call.
int state_of_charge(cls_GPIO_DLL& dll, std::int16_t target) {
  std::int16_t cmd = 0x0D;
  std::int32_t high = 0, low = 0;
  const std::int32_t result = dll.GPIO_ReadSMBusWord(cmd, high, low, target);
  return result == OK ? high * 256 + low : -result;
}
constexpr int kStateOfCharge = 87;
constexpr int kBadPec = -411;  // from a battery whose PEC bytes are wrong

// GPIO_DLL_SHARING_WORKER is "MODE DIR INDEX RESULT_FD GO_FD"; MODE "busy" (kThreads users,
// INDEX the process), "idle" (one user INDEX that identifies, says so, waits, then reads), or
// "pec" / "plain" (one read of the state of charge with or without PEC from a battery whose PEC
// bytes are wrong: right when it fails with the bad PEC, or gives the value).
TEST(ServedSharingWorker, Run) {
  const char* job = std::getenv("GPIO_DLL_SHARING_WORKER");
  if (job == nullptr) GTEST_SKIP() << "runs only as a child of the ServedSharing tests";
  std::istringstream in(job);
  std::string mode, dir;
  int index = 0, result_fd = -1, go_fd = -1;
  ASSERT_TRUE(in >> mode >> dir >> index >> result_fd >> go_fd);
  platform::use_hidraw(dir + "/sys/class/hidraw", dir + "/dev");

  if (mode == "pec" || mode == "plain") {
    Counts counts;
    testing::on_fresh_thread([&] {
      cls_GPIO_DLL dll;
      if (identify(dll) != OK) return void(++counts.failed);
      const bool pec = mode == "pec";
      counts.add(true, state_of_charge(dll, pec ? 0x17 : 0x16) == (pec ? kBadPec : kStateOfCharge));
    });
    report(result_fd, counts);
    return;
  }

  if (mode == "idle") {
    Counts counts;
    testing::on_fresh_thread([&] {
      cls_GPIO_DLL dll;
      if (identify(dll) != OK) return void(++counts.failed);
      ASSERT_EQ(write(result_fd, "ready\n", 6), 6);
      wait_for_close(go_fd);
      for (int i = 0; i < 10; ++i) {
        const int value = read_word(dll, word_register(index));
        counts.add(value >= 0, value == word_of(index));
      }
    });
    report(result_fd, counts);
    return;
  }

  // Every thread identifies, then all wait for the test to start every process at once.
  std::atomic<int> ready{0};
  std::atomic<bool> started{false};
  std::vector<Counts> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] { results[t] = run_user(index * kThreads + t, ready, started); });
  while (ready.load() < kThreads)
    std::this_thread::yield();
  wait_for_close(go_fd);
  started = true;
  Counts total;
  for (int t = 0; t < kThreads; ++t) {
    threads[t].join();
    total.add(results[t]);
  }
  report(result_fd, total);
}

// ---- test side ----

// A child running this binary in worker mode, with a result pipe and a start gate.
class Worker {
 public:
  Worker() = default;
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;
  bool start(const std::string& mode, const std::string& dir, int index) {
    int result[2], go[2];
    if (pipe2(result, O_CLOEXEC) != 0 || pipe2(go, O_CLOEXEC) != 0) return false;
    const std::string job = mode + " " + dir + " " + std::to_string(index) + " " +
                            std::to_string(result[1]) + " " + std::to_string(go[0]);
    // This program again; in a cross build through the emulator, as the kernel cannot start it.
    const std::vector<std::string> words =
        testing::built_program_argv(std::filesystem::read_symlink("/proc/self/exe"),
                                    {"--gtest_filter=ServedSharingWorker.Run", "--gtest_brief=1"});
    std::vector<char*> argv;
    for (const auto& word : words)
      argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    pid_ = fork();
    if (pid_ == 0) {
      // The child keeps only its ends, past exec.
      fcntl(result[1], F_SETFD, 0);
      fcntl(go[0], F_SETFD, 0);
      setenv("GPIO_DLL_SHARING_WORKER", job.c_str(), 1);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(result[1]);
    close(go[0]);
    result_ = fdopen(result[0], "r");
    go_ = go[1];
    return pid_ > 0 && result_ != nullptr;
  }
  // One line the worker wrote ("" at its end).
  std::string line() {
    char buffer[128];
    return std::fgets(buffer, sizeof buffer, result_) != nullptr ? std::string(buffer) : "";
  }
  void go() {
    if (go_ >= 0) close(go_);
    go_ = -1;
  }
  // The counts it reported and its exit status.
  Counts finish(int& status) {
    go();
    Counts c{-1, -1, 0};
    std::istringstream(line()) >> c.wrong >> c.failed >> c.transactions;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return c;
  }
  ~Worker() {
    go();
    if (result_ != nullptr) std::fclose(result_);
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

 private:
  pid_t pid_ = -1;
  FILE* result_ = nullptr;
  int go_ = -1;
};

class ServedSharing : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_SERVED_DEVICE();
    char pattern[] = "/tmp/gpio-dll-sharing.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    ASSERT_TRUE(server_.start(dir_));
    platform::use_hidraw(dir_ + "/sys/class/hidraw", dir_ + "/dev");
    for (int u = 0; u < kProcesses * kThreads; ++u) {
      char word[64];
      std::snprintf(word, sizeof word, "word 0x%02X 0x%04X", word_register(u), word_of(u));
      ASSERT_TRUE(control(word)) << word;
      std::string block = "block " + std::to_string(block_register(u)) + " ";
      for (const std::uint8_t b : block_of(u)) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", b);
        block += hex;
      }
      ASSERT_TRUE(control(block));
    }
  }
  void TearDown() override {
    platform::use_system();
    server_.stop();
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }
  bool control(const std::string& command) {
    std::ofstream out(dir_ + "/control");
    out << command << std::flush;
    return static_cast<bool>(out);
  }

  std::string dir_;
  testing::Server server_;
};

TEST_F(ServedSharing, ProcessesAndThreadsNeverSeeEachOthersAnswers) {
  // Answers reach the node a little after their requests, as from a real module: a user that let
  // the module go before reading its answer would find another user's first.
  ASSERT_TRUE(control("answer-delay 1"));
  testing::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    ASSERT_EQ(identify(dll), OK);
    std::string fw = "2.0.19";
    ByteArray image = eeprom_image();
    ASSERT_EQ(dll.GPIO_FW_EEP_Write(fw, image), OK);
  });
  std::vector<Worker> workers(kProcesses);
  for (int p = 0; p < kProcesses; ++p)
    ASSERT_TRUE(workers[p].start("busy", dir_, p));
  for (auto& w : workers)
    w.go();
  int transactions = 0;
  for (int p = 0; p < kProcesses; ++p) {
    int status = 0;
    const Counts c = workers[p].finish(status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "process " << p;
    EXPECT_EQ(c.wrong, 0) << "process " << p;
    EXPECT_EQ(c.failed, 0) << "process " << p;
    transactions += c.transactions;
  }
  EXPECT_EQ(transactions, kProcesses * kThreads * (2 * kRounds + 1));
}

// A process that identified and then sat idle while another process did hundreds of
// transactions reads its own register, not answers the other process left on its open file.
TEST_F(ServedSharing, AnIdleProcessReadsItsOwnAnswer) {
  Worker idle;
  ASSERT_TRUE(idle.start("idle", dir_, 3));
  ASSERT_EQ(idle.line(), "ready\n");
  testing::on_fresh_thread([&] {
    cls_GPIO_DLL dll;
    ASSERT_EQ(identify(dll), OK);
    for (int i = 0; i < 300; ++i)
      ASSERT_EQ(read_word(dll, word_register(5)), word_of(5)) << i;
  });
  int status = 0;
  const Counts c = idle.finish(status);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(c.wrong, 0);
  EXPECT_EQ(c.failed, 0);
  EXPECT_EQ(c.transactions, 10);
}

// The module keeps its PEC mode whichever process set it: a process that asks for PEC from a
// battery whose PEC bytes are wrong never gets OK, and one that does not ask for it never gets a
// PEC failure, however they take turns.
TEST_F(ServedSharing, PecAndPlainProcessesTakingTurnsEachGetTheModeTheyAskFor) {
  ASSERT_TRUE(control("wrong-pec 1"));
  for (const bool pec : {true, false}) {
    SCOPED_TRACE(pec ? "this process with PEC" : "this process without");
    const std::int16_t mine = pec ? 0x17 : 0x16;
    const int expected = pec ? kBadPec : kStateOfCharge;
    testing::on_fresh_thread([&] {
      cls_GPIO_DLL dll;
      ASSERT_EQ(identify(dll), OK);
      EXPECT_EQ(state_of_charge(dll, mine), expected);
      for (int turn = 0; turn < 2; ++turn) {
        Worker other;
        ASSERT_TRUE(other.start(pec ? "plain" : "pec", dir_, 0));
        int status = 0;
        const Counts c = other.finish(status);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        EXPECT_EQ(c.transactions, 1);
        EXPECT_EQ(c.wrong + c.failed, 0) << "the other process got the mode it asked for";
        EXPECT_EQ(state_of_charge(dll, mine), expected) << "turn " << turn;
        EXPECT_EQ(state_of_charge(dll, mine), expected) << "turn " << turn;
      }
    });
  }
}

}  // namespace
}  // namespace gpio_dll
