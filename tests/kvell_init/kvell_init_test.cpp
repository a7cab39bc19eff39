#include "oracle/kvell_init.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "oracle/binding/client_loader.h"
#include "runtime/exception.h"

namespace kvell {
namespace {

struct Counted {
  explicit Counted(int* counter) : alive(counter) { ++*alive; }
  ~Counted() { --*alive; }
  int* alive;
};

TEST(ProcessSlotTest, a_slot_is_filled_once_and_refilled_only_after_release) {
  ProcessSlot slot;
  int alive = 0;
  auto make = [&] { return std::make_unique<Counted>(&alive); };
  Counted& first = slot.Get<Counted>(make);
  EXPECT_EQ(&slot.Get<Counted>(make), &first);
  EXPECT_EQ(alive, 1);
  EXPECT_EQ(slot.Fills(), 1);
  slot.Release();
  EXPECT_EQ(alive, 0) << "release frees the object";
  EXPECT_FALSE(slot.Filled());
  slot.Get<Counted>(make);
  EXPECT_EQ(slot.Fills(), 2) << "a use after release shows as a second fill";
  slot.Release();
}

TEST(ProcessSlotTest, a_slot_refuses_to_be_read_as_another_type) {
  ProcessSlot slot;
  slot.Get<std::string>();
  EXPECT_THROW(slot.Get<int>(), Exception);
}

TEST(KvellInitTest, the_binding_lock_and_the_logon_history_live_in_the_module) {
  KvellStartUp();
  EXPECT_EQ(&OCICriticalSection(),
            &KvellSlot(ProcessObject::OCICriticalSection).Get<TOracleCriticalSection>());
  EXPECT_TRUE(KvellSlot(ProcessObject::LogonHistory).Filled()) << "created at start-up";
  EXPECT_TRUE(LogonHistory().Items.empty());
  EXPECT_FALSE(KvellShutDownDone());
}

std::string run(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "cannot run " + command;
  std::array<char, 256> chunk{};
  while (fgets(chunk.data(), static_cast<int>(chunk.size()), pipe)) output += chunk.data();
  int status = pclose(pipe);
  if (status != 0) output += "exit status " + std::to_string(status) + "\n";
  return output;
}

// The program loads ociemu's client, compresses a value, fills the pool and
// warning slots, and returns from main.
TEST(KvellInitTest, a_program_that_loads_the_client_releases_everything_in_reverse_and_unloads_it_at_exit) {
  std::string output = run(std::string(KVELL_INIT_PROBE) + " " + KVELL_TEST_CLIENT);
  EXPECT_EQ(output,
            "loaded: 1\n"
            "release warning codes: compressor lock held=0\n"
            "release default session pool: compressor lock held=0 warning codes held=0 client loaded=1\n"
            "free client library: logon history held=1\n"
            "after exit: client loaded=0 slots held=0 refilled=0\n");
}

}  // namespace
}  // namespace kvell
