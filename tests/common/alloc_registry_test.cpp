#include "alloc_registry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// An allocator that refuses chosen requests and records every release, in order.
std::vector<void*> released;
int requestsUntilRefusal = -1;

void* refusingAlloc(std::size_t size) {
  if (requestsUntilRefusal == 0) {
    requestsUntilRefusal = -1;
    return nullptr;
  }
  if (requestsUntilRefusal > 0) --requestsUntilRefusal;
  return std::malloc(size);
}

void recordingFree(void* p) {
  released.push_back(p);
  std::free(p);
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    released.clear();
    requestsUntilRefusal = -1;
  }
};

TEST_F(RegistryTest, FreeAllReleasesNewestFirstAndSkipsRefusedEntries) {
  common::AllocationRegistry reg(&refusingAlloc, &recordingFree);
  void* a = reg.trackedAlloc(16);
  requestsUntilRefusal = 0;
  void* refused = reg.trackedAlloc(32);
  void* c = reg.trackedAlloc(8);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(refused, nullptr);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(reg.count(), 3);  // the refused request still takes an entry

  EXPECT_EQ(reg.trackedAlloc(0), nullptr);
  EXPECT_EQ(reg.count(), 0);
  ASSERT_EQ(released.size(), 2u);
  EXPECT_EQ(released[0], c);
  EXPECT_EQ(released[1], a);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(reg.entry(i), nullptr);
}

TEST_F(RegistryTest, FreeAllOnEmptyRegistryDoesNothing) {
  common::AllocationRegistry reg(&refusingAlloc, &recordingFree);
  EXPECT_EQ(reg.trackedAlloc(0), nullptr);
  EXPECT_EQ(reg.count(), 0);
  EXPECT_TRUE(released.empty());
}

TEST_F(RegistryTest, RequestBeyondCapacityReturnsNullAndRecordsNothing) {
  common::AllocationRegistry reg(&refusingAlloc, &recordingFree);
  for (int i = 0; i < common::AllocationRegistry::kCapacity; ++i) {
    ASSERT_NE(reg.trackedAlloc(4), nullptr);
  }
  EXPECT_EQ(reg.trackedAlloc(4), nullptr);
  EXPECT_EQ(reg.count(), common::AllocationRegistry::kCapacity);
  reg.trackedAlloc(0);
  EXPECT_EQ(released.size(), 256u);
  EXPECT_NE(reg.trackedAlloc(4), nullptr);  // usable again after a free-all
}

TEST_F(RegistryTest, NegativeSizeIsRefusedButCounted) {
  common::AllocationRegistry reg(&refusingAlloc, &recordingFree);
  EXPECT_EQ(reg.trackedAlloc(-5), nullptr);
  EXPECT_EQ(reg.count(), 1);
}

}  // namespace
