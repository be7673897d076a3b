// Saves survive crashes and failed writes: a process killed at random
// moments while it saves leaves the complete old or the complete new file,
// and a write that fails at any byte leaves the old file untouched.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include "platform/filesystem.h"
#include "save/save_file.h"
#include "script/script_files.h"
#include "save_test_support.h"

namespace vv::save {
namespace {

class SaveDurability : public testing::SaveTest {
 protected:
  // Two contents of the same three blocks: an integer array, a scalar and
  // a text, filled from `seed`.
  PendingBlocks Blocks(uint64_t seed) {
    std::mt19937_64 random(seed);
    for (int64_t& v : Slot(0).integers) v = static_cast<int64_t>(random());
    Slot(1).integers[0] = static_cast<int64_t>(seed);
    Slot(2).texts[0] = "seed " + std::to_string(seed);
    for (int block = 1; block <= 3; ++block) {
      BlockTarget t;
      t.variable = script::kFirstScriptVariable + block - 1;
      t.whole = true;
      EXPECT_EQ(PutPendingBlock(engine(), block, t), 0);
    }
    PendingBlocks out = engine().save.pending;
    ClearPendingBlocks(engine());
    return out;
  }

  int Save(const PendingBlocks& blocks) {
    engine().save.pending = blocks;
    return WritePendingBlocks(engine(), name_);
  }

  // Loads the three blocks back; the seed they were made from, or -1.
  int64_t LoadedSeed() {
    for (int block = 1; block <= 3; ++block) {
      BlockTarget t;
      t.variable = script::kFirstScriptVariable + block - 1;
      t.whole = true;
      if (LoadBlock(engine(), name_, block, t) != 0 || !engine().errors.reports.empty()) return -1;
    }
    const int64_t seed = Slot(1).integers[0];
    if (Slot(2).texts[0] != "seed " + std::to_string(seed)) return -1;
    std::mt19937_64 random(static_cast<uint64_t>(seed));
    for (int64_t v : Slot(0).integers) {
      if (v != static_cast<int64_t>(random())) return -1;
    }
    return seed;
  }

  // Entries of the save folder other than the save file.
  size_t StrayFiles() {
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(root_ + "/save")) n += e.path().filename() != "f.sd";
    return n;
  }

  SaveFileName name_{"f", "f.sd"};
};

TEST_F(SaveDurability, KilledWhileSavingLeavesTheOldOrTheNewFile) {
  Prepare("@global int d[32768] = 0, n = 0\n@global text t = \"\"\n*SYSTEM_START\n@quit\n");
  const PendingBlocks a = Blocks(1), b = Blocks(2);
  ASSERT_EQ(Save(a), 0);
  const auto fileA = SaveFile("f.sd");
  ASSERT_EQ(Save(b), 0);
  const auto fileB = SaveFile("f.sd");
  ASSERT_NE(fileA, fileB);

  // A child that saves the content the file does not hold, then the other,
  // and so on, writing one byte to `pipeOut` before its first save and
  // after each.
  bool holdsA = false;
  const auto startChild = [&](int& pipeIn) -> pid_t {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const pid_t child = fork();
    if (child == 0) {
      close(fds[0]);
      const char tick = 1;
      for (int i = 0;; ++i) {
        if (write(fds[1], &tick, 1) != 1) _exit(2);
        if (Save((i % 2 == 0) == holdsA ? b : a) != 0) _exit(1);
      }
    }
    close(fds[1]);
    pipeIn = fds[0];
    return child;
  };
  const auto stopChild = [](pid_t child, int pipeIn) {
    ::kill(child, SIGKILL);
    int status = 0;
    const bool reaped = waitpid(child, &status, 0) == child;
    close(pipeIn);
    return reaped && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  };

  // How long a child's first save takes (a forked child pays for its first
  // touches of memory), so that the kills spread over it and a little past.
  int64_t firstSaveUs = 50;
  for (int round = 0; round < 5; ++round) {
    int in = -1;
    const pid_t child = startChild(in);
    ASSERT_GT(child, 0);
    char tick = 0;
    ASSERT_EQ(read(in, &tick, 1), 1);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(read(in, &tick, 1), 1);
    firstSaveUs = std::max<int64_t>(
        firstSaveUs,
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started).count());
    ASSERT_TRUE(stopChild(child, in));
    holdsA = SaveFile("f.sd") == fileA;
  }

  // The child starts with the content the file does not hold, so a kill
  // within its first save must leave the old file and one after it the new.
  std::mt19937 random(20261211);
  std::uniform_int_distribution<int64_t> delay(0, firstSaveUs * 6 / 5);
  int sawOld = 0, sawNew = 0;
  size_t strays = 0;
  for (int kill = 0; kill < 1000; ++kill) {
    int in = -1;
    const pid_t child = startChild(in);
    ASSERT_GT(child, 0);
    char tick = 0;
    ASSERT_EQ(read(in, &tick, 1), 1);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ASSERT_TRUE(stopChild(child, in)) << "the saving child ended by itself";

    const auto now = SaveFile("f.sd");
    const bool isA = now == fileA, isB = now == fileB;
    ASSERT_TRUE(isA || isB) << "kill " << kill << " left " << now.size() << " bytes";
    sawOld += isA == holdsA;
    sawNew += isA != holdsA;
    holdsA = isA;
    engine().platform.files->Invalidate();
    ASSERT_EQ(LoadedSeed(), isA ? 1 : 2) << "kill " << kill;
    // A kill between naming the new file and renaming it leaves that name
    // behind; the next save removes it.
    strays = std::max(strays, StrayFiles());
  }
  const size_t leftBehind = StrayFiles();
  ASSERT_EQ(Save(holdsA ? b : a), 0);
  EXPECT_EQ(StrayFiles(), 0u);
  // Both outcomes happen: the kills did land during the writes.
  EXPECT_GT(sawOld, 0);
  EXPECT_GT(sawNew, 0);
  RecordProperty("first_save_us", static_cast<int>(firstSaveUs));
  RecordProperty("stray_files", static_cast<int>(leftBehind));
  std::printf("a child's first save: %lld us; old file %d times, new file %d times; at most %zu, at the end %zu "
              "left-behind files\n",
              static_cast<long long>(firstSaveUs), sawOld, sawNew, strays, leftBehind);
}

TEST_F(SaveDurability, WriteFailingAtAnyByteKeepsTheOldFile) {
  Prepare("@global int d[300] = 0, n = 0\n@global text t = \"\"\n*SYSTEM_START\n@quit\n");
  const PendingBlocks a = Blocks(1), b = Blocks(2);
  platform::FileSystem& fs = *engine().platform.files;

  // A new file: nothing may appear until the write is complete.
  ComposedFile composedA;
  ASSERT_EQ(ComposeSaveFile({}, a, composedA), 0);
  std::filesystem::create_directories(root_ + "/save");
  for (uint64_t at = 0; at <= composedA.size; ++at) {
    fs.SetWriteFault(platform::WriteFault{at, ENOSPC});
    ASSERT_EQ(Save(a), -1) << at;
    ASSERT_EQ(FirstCode(), kErrCannotWrite) << at;
    ASSERT_FALSE(std::filesystem::exists(SavePath("f.sd"))) << at;
    ASSERT_EQ(StrayFiles(), 0u) << at;
    ForgetErrors();
  }
  fs.SetWriteFault(std::nullopt);
  ASSERT_EQ(Save(a), 0);
  const auto fileA = SaveFile("f.sd");

  // A rewrite of every block, failing at each byte and at the flush.
  ComposedFile composedB;
  ASSERT_EQ(ComposeSaveFile(fileA, b, composedB), 0);
  for (uint64_t at = 0; at <= composedB.size; ++at) {
    fs.SetWriteFault(platform::WriteFault{at, ENOSPC});
    ASSERT_EQ(Save(b), -1) << at;
    ASSERT_EQ(FirstCode(), kErrCannotWrite) << at;
    ASSERT_EQ(SaveFile("f.sd"), fileA) << at;
    ASSERT_EQ(StrayFiles(), 0u) << at;
    // The blocks stay pending: nothing the script collected is lost.
    ASSERT_FALSE(engine().save.pending[0].empty());
    ForgetErrors();
  }
  EXPECT_EQ(LoadedSeed(), 1);

  // The report names the errno and its text: the command table file's for
  // 0..36, the system's beyond.
  fs.SetWriteFault(platform::WriteFault{100, ENOSPC});
  ASSERT_EQ(Save(b), -1);
  const std::string& full = engine().errors.reports[0].message;
  const std::string tableText(script::FileErrorText(engine(), ENOSPC));
  ASSERT_FALSE(tableText.empty());
  EXPECT_NE(full.find("28"), std::string::npos) << full;
  EXPECT_NE(full.find(tableText), std::string::npos) << full;
  ForgetErrors();
  fs.SetWriteFault(platform::WriteFault{100, EDQUOT});
  ASSERT_EQ(Save(b), -1);
  EXPECT_NE(engine().errors.reports[0].message.find(platform::ErrorNumberText(EDQUOT)), std::string::npos)
      << engine().errors.reports[0].message;
  ForgetErrors();

  fs.SetWriteFault(std::nullopt);
  ASSERT_EQ(Save(b), 0);
  EXPECT_EQ(LoadedSeed(), 2);
}

}  // namespace
}  // namespace vv::save
