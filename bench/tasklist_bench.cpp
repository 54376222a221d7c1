// Cost of one pass of a task list holding 10 000 tasks: plain tasks, and timed tasks that are due
// on every pass (each reads the platform time twice).
#include "engine/core/animtask.h"
#include "engine/core/task.h"
#include "engine/core/tasklist.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kTasks = 10000;

class TStep : public TTask {
public:
    explicit TStep(long& counter) : mCounter(counter) {}
    bool DoTask() override {
        ++mCounter;
        return true;
    }

private:
    long& mCounter;
};

class TTick : public TAnimTask {
public:
    explicit TTick(long& counter) : mCounter(counter) { Start(0, true, false, false); }
    bool Animate() override {
        ++mCounter;
        return true;
    }

private:
    long& mCounter;
};

template <class Task>
void RunList(benchmark::State& state) {
    long counter = 0;
    TTaskList list;
    for (int i = 0; i < kTasks; ++i) {
        list.Add(new Task(counter));
    }
    for (auto _ : state) {
        list.Run(0);
        benchmark::DoNotOptimize(counter);
    }
    state.SetItemsProcessed(state.iterations() * kTasks);
}

void BM_TaskListPlain(benchmark::State& state) {
    RunList<TStep>(state);
}

void BM_TaskListAnim(benchmark::State& state) {
    RunList<TTick>(state);
}

} // namespace

BENCHMARK(BM_TaskListPlain);
BENCHMARK(BM_TaskListAnim);
