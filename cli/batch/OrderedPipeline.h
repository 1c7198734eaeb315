#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace rulecalc::cli {

// Runs work over a stream of jobs on several threads and hands the results
// to consume in the order the jobs were produced. produce(job) fills the next
// job and returns false at the end; it runs on a reader thread. work(job,
// worker) runs on worker threads (worker numbers the thread, 0 to workers-1,
// so each can keep state of its own). consume(result) runs on the calling
// thread. At most window jobs are in flight (produced but not yet consumed),
// which keeps memory bounded whatever the length of the stream. The first
// exception of any of the three stops the run and is rethrown here.
template <typename Job, typename Result, typename Produce, typename Work, typename Consume>
void RunOrdered(std::size_t workers, std::size_t window, Produce produce, Work work, Consume consume);

// One worker: everything on the calling thread, in order, no threads.
template <typename Job, typename Produce, typename Work, typename Consume>
void RunInline(Produce produce, Work work, Consume consume) {
  Job job;
  while (produce(job)) {
    auto result = work(job, 0);
    consume(result);
    job = Job{};
  }
}

namespace detail {

// The state the threads of RunOrdered share, guarded by one mutex.
template <typename Job, typename Result>
struct SPipelineState {
  std::mutex Mutex;
  std::condition_variable Changed;
  std::deque<std::pair<std::uint64_t, Job>> Waiting;
  std::map<std::uint64_t, Result> Done;
  std::uint64_t Produced = 0;
  std::uint64_t Consumed = 0;
  bool ProductionEnded = false;
  bool Stopping = false;
  std::exception_ptr Failure;

  void Fail(std::exception_ptr failure) {
    std::lock_guard<std::mutex> lock(Mutex);
    if (!Failure) Failure = std::move(failure);
    Stopping = true;
    Changed.notify_all();
  }
};

template <typename Job, typename Result, typename Produce>
void ProduceJobs(SPipelineState<Job, Result>& state, std::size_t window, Produce& produce) {
  try {
    while (true) {
      {
        std::unique_lock<std::mutex> lock(state.Mutex);
        state.Changed.wait(lock, [&] { return state.Stopping || state.Produced - state.Consumed < window; });
        if (state.Stopping) return;
      }
      Job job;
      const bool more = produce(job);
      std::lock_guard<std::mutex> lock(state.Mutex);
      if (!more) {
        state.ProductionEnded = true;
        state.Changed.notify_all();
        return;
      }
      state.Waiting.emplace_back(state.Produced++, std::move(job));
      state.Changed.notify_all();
    }
  } catch (...) {
    state.Fail(std::current_exception());
  }
}

template <typename Job, typename Result, typename Work>
void WorkOnJobs(SPipelineState<Job, Result>& state, std::size_t worker, Work& work) {
  try {
    while (true) {
      std::unique_lock<std::mutex> lock(state.Mutex);
      state.Changed.wait(lock, [&] { return state.Stopping || !state.Waiting.empty() || state.ProductionEnded; });
      if (state.Stopping || state.Waiting.empty()) return;
      auto [index, job] = std::move(state.Waiting.front());
      state.Waiting.pop_front();
      lock.unlock();
      Result result = work(job, worker);
      lock.lock();
      state.Done.emplace(index, std::move(result));
      state.Changed.notify_all();
    }
  } catch (...) {
    state.Fail(std::current_exception());
  }
}

template <typename Job, typename Result, typename Consume>
void ConsumeInOrder(SPipelineState<Job, Result>& state, Consume& consume) {
  try {
    while (true) {
      std::unique_lock<std::mutex> lock(state.Mutex);
      state.Changed.wait(lock, [&] {
        return state.Stopping || state.Done.count(state.Consumed) > 0 ||
               (state.ProductionEnded && state.Consumed == state.Produced);
      });
      if (state.Stopping || state.Done.count(state.Consumed) == 0) return;
      auto next = state.Done.find(state.Consumed);
      Result result = std::move(next->second);
      state.Done.erase(next);
      lock.unlock();
      consume(result);
      lock.lock();
      ++state.Consumed;
      state.Changed.notify_all();
    }
  } catch (...) {
    state.Fail(std::current_exception());
  }
}

}  // namespace detail

template <typename Job, typename Result, typename Produce, typename Work, typename Consume>
void RunOrdered(std::size_t workers, std::size_t window, Produce produce, Work work, Consume consume) {
  detail::SPipelineState<Job, Result> state;
  std::thread reader([&] { detail::ProduceJobs(state, window, produce); });
  std::vector<std::thread> pool;
  for (std::size_t w = 0; w < workers; ++w) pool.emplace_back([&, w] { detail::WorkOnJobs(state, w, work); });
  detail::ConsumeInOrder(state, consume);
  reader.join();
  for (std::thread& thread : pool) thread.join();
  if (state.Failure) std::rethrow_exception(state.Failure);
}

}  // namespace rulecalc::cli
