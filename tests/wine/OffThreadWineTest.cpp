// The worker that takes the blocking calls: one thread for all of them, since each thread started
// costs a run time and memory, and one that still serves after a call failed and is gone with its
// owner. That the window answers meanwhile is shown end to end (tests/e2e/AnswersTest.cpp).
#include <gtest/gtest.h>
#include <windows.h>

#include <stdexcept>

#include "base/UniqueHandle.h"
#include "ui/OffThread.h"

namespace kestel {
namespace {

TEST(OffThread, EveryCallRunsOnOneWorkerThatOutlivesAFailureAndEndsWithItsOwner) {
  Application application;
  UniqueHandle worker;
  {
    OffThread offThread(application);
    const DWORD first = offThread.Result([] { return GetCurrentThreadId(); });
    EXPECT_NE(first, GetCurrentThreadId());
    EXPECT_THROW(offThread.Run([] { throw std::runtime_error("refused"); }), std::runtime_error);
    EXPECT_EQ(offThread.Result([] { return GetCurrentThreadId(); }), first);
    worker.reset(OpenThread(SYNCHRONIZE, FALSE, first));
    ASSERT_TRUE(worker);
  }
  EXPECT_EQ(WaitForSingleObject(worker.get(), 0), WAIT_OBJECT_0);
}

}  // namespace
}  // namespace kestel
