#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "batch/OrderedPipeline.h"

namespace rulecalc::batch {
namespace {

constexpr int kJobs = 300;

// Later jobs finish sooner, so results arrive out of order.
int SlowlySquare(int job) {
  std::this_thread::sleep_for(std::chrono::microseconds((kJobs - job) % 7 * 50));
  return job * job;
}

class OrderedPipeline : public ::testing::TestWithParam<std::size_t> {};

TEST_P(OrderedPipeline, ResultsComeInProductionOrderWithBoundedJobsInFlight) {
  const std::size_t workers = GetParam();
  const std::size_t window = 2 * workers;
  int next = 0;
  std::atomic<int> consumed{0};
  std::atomic<std::size_t> mostInFlight{0};
  std::vector<int> results;
  auto produce = [&](int& job) {
    if (next == kJobs) return false;
    const auto inFlight = static_cast<std::size_t>(next - consumed.load() + 1);
    if (inFlight > mostInFlight) mostInFlight = inFlight;
    job = next++;
    return true;
  };
  auto work = [&](int& job, std::size_t worker) {
    EXPECT_LT(worker, workers);
    return SlowlySquare(job);
  };
  auto consume = [&](int& result) {
    results.push_back(result);
    ++consumed;
  };
  RunOrdered<int, int>(workers, window, produce, work, consume);
  ASSERT_EQ(results.size(), static_cast<std::size_t>(kJobs));
  for (int i = 0; i < kJobs; ++i) ASSERT_EQ(results[static_cast<std::size_t>(i)], i * i) << i;
  EXPECT_LE(mostInFlight.load(), window);
}

INSTANTIATE_TEST_SUITE_P(Workers, OrderedPipeline, ::testing::Values(1u, 2u, 4u));

TEST(OrderedPipelineFailures, AFailingJobStopsTheRunAndIsRethrown) {
  int next = 0;
  auto produce = [&](int& job) {
    job = next++;
    return true;  // an endless stream: only the failure ends it
  };
  auto work = [](int& job, std::size_t) {
    if (job == 50) throw std::runtime_error("job 50");
    return job;
  };
  int consumedCount = 0;
  auto consume = [&](int&) { ++consumedCount; };
  EXPECT_THROW((RunOrdered<int, int>(2, 4, produce, work, consume)), std::runtime_error);
  EXPECT_LE(consumedCount, 50);
}

TEST(OrderedPipelineFailures, AFailingConsumerStopsTheRun) {
  int next = 0;
  auto produce = [&](int& job) {
    job = next++;
    return next < 1000;
  };
  auto work = [](int& job, std::size_t) { return job; };
  auto consume = [](int& result) {
    if (result == 3) throw std::runtime_error("cannot write");
  };
  EXPECT_THROW((RunOrdered<int, int>(2, 4, produce, work, consume)), std::runtime_error);
  EXPECT_LT(next, 1000);
}

// Threads start as jobs wait, so a short stream never gets more than it has jobs.
TEST(OrderedPipeline, NeverMoreWorkersThanJobs) {
  for (const int jobs : {1, 3}) {
    int next = 0;
    auto produce = [&](int& job) {
      job = next++;
      return next <= jobs;
    };
    std::atomic<std::size_t> highestWorker{0};
    auto work = [&](int& job, std::size_t worker) {
      if (worker > highestWorker) highestWorker = worker;
      return job;
    };
    auto consume = [](int&) {};
    RunOrdered<int, int>(16, 64, produce, work, consume);
    EXPECT_LT(highestWorker.load(), static_cast<std::size_t>(jobs));
  }
}

TEST(OrderedPipelineFailures, NoJobsNoResults) {
  auto produce = [](int&) { return false; };
  auto work = [](int& job, std::size_t) { return job; };
  int consumedCount = 0;
  auto consume = [&](int&) { ++consumedCount; };
  RunOrdered<int, int>(3, 6, produce, work, consume);
  RunInline<int>(produce, work, consume);
  EXPECT_EQ(consumedCount, 0);
}

}  // namespace
}  // namespace rulecalc::batch
