#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace rulecalc::batch {

// Runs work over a stream of jobs on several threads and hands the results
// to consume in the order the jobs were produced. produce(job) fills the next
// job and returns false at the end; it runs on a reader thread. work(job,
// worker) runs on worker threads (worker numbers the thread, 0 to workers-1,
// so each can keep state of its own); a thread is started only when a job
// waits and no started thread is free, so there are never more threads than
// jobs. consume(result) runs on the calling thread. At most window jobs are in flight (produced but not yet consumed),
// which keeps memory bounded whatever the length of the stream. The first
// exception of any of the three stops the run and is rethrown here; when not
// even one thread can be started, that is std::bad_alloc.
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
  std::size_t Idle = 0;  // worker threads waiting for a job
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

template <typename Job, typename Result, typename Work>
void WorkOnJobs(SPipelineState<Job, Result>& state, std::size_t worker, Work& work);

// The worker threads, started by the reader as jobs wait for them.
template <typename Job, typename Result, typename Work>
class TWorkerThreads {
 public:
  TWorkerThreads(SPipelineState<Job, Result>& state, Work& work, std::size_t limit)
      : State(state), DoWork(work), Limit(limit) {}

  // Starts one more thread when more jobs wait than threads are free. A
  // thread the system refuses is done without while another one runs.
  void StartIfWanted(bool wanted) {
    if (!wanted || Threads.size() == Limit) return;
    const std::size_t worker = Threads.size();
    try {
      Threads.emplace_back([this, worker] { WorkOnJobs(State, worker, DoWork); });
    } catch (const std::system_error&) {
      if (Threads.empty()) throw std::bad_alloc();
    }
  }

  void JoinAll() {
    for (std::thread& thread : Threads) thread.join();
  }

 private:
  SPipelineState<Job, Result>& State;
  Work& DoWork;
  std::size_t Limit;
  std::vector<std::thread> Threads;
};

template <typename Job, typename Result, typename Produce, typename Threads>
void ProduceJobs(SPipelineState<Job, Result>& state, std::size_t window, Produce& produce, Threads& threads) {
  try {
    while (true) {
      {
        std::unique_lock<std::mutex> lock(state.Mutex);
        state.Changed.wait(lock, [&] { return state.Stopping || state.Produced - state.Consumed < window; });
        if (state.Stopping) return;
      }
      Job job;
      const bool more = produce(job);
      bool wanted = false;
      {
        std::lock_guard<std::mutex> lock(state.Mutex);
        if (!more) {
          state.ProductionEnded = true;
          state.Changed.notify_all();
          return;
        }
        state.Waiting.emplace_back(state.Produced++, std::move(job));
        wanted = state.Waiting.size() > state.Idle;
        state.Changed.notify_all();
      }
      threads.StartIfWanted(wanted);
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
      ++state.Idle;
      state.Changed.wait(lock, [&] { return state.Stopping || !state.Waiting.empty() || state.ProductionEnded; });
      --state.Idle;
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
  detail::TWorkerThreads<Job, Result, Work> threads(state, work, workers);
  std::thread reader;
  try {
    reader = std::thread([&] { detail::ProduceJobs(state, window, produce, threads); });
  } catch (const std::system_error&) {
    throw std::bad_alloc();  // the system has no room for one more thread
  }
  detail::ConsumeInOrder(state, consume);
  reader.join();
  threads.JoinAll();
  if (state.Failure) std::rethrow_exception(state.Failure);
}

}  // namespace rulecalc::batch
