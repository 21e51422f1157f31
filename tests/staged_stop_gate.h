// A stop requested from another thread at a chosen point inside a staged
// run. Every SQLite connection of the process gets a trace hook; once the
// gate is armed, the first statement (or row of a statement) whose SQL
// begins with the chosen text waits there until the other thread has
// requested the stop. The stage that runs that statement then meets the
// stop on every run, without timing.
#ifndef KX_TESTS_STAGED_STOP_GATE_H_
#define KX_TESTS_STAGED_STOP_GATE_H_

#include <sqlite3.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "package_capture.h"
#include "sdk/library.h"

namespace kx::test {

class StagedStopGate {
 public:
  // `sql_prefix` "" matches any statement; `rows` waits at a row rather
  // than at the start of a statement.
  StagedStopGate(std::string sql_prefix, bool rows) {
    State& state = Shared();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.prefix = std::move(sql_prefix);
    state.mask = rows ? SQLITE_TRACE_ROW : SQLITE_TRACE_STMT;
    state.armed = true;
    state.waiting = false;
    state.stopped = false;
    sqlite3_auto_extension(Extension());
  }
  ~StagedStopGate() {
    sqlite3_cancel_auto_extension(Extension());
    State& state = Shared();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.armed = false;
  }

  // Runs `run` while another thread requests the stop at the gate; returns
  // what `run` returned. *reached says whether the gate was met.
  int RunStopping(const std::function<int()>& run, bool* reached) {
    State& state = Shared();
    std::thread stopper([&state] {
      std::unique_lock<std::mutex> lock(state.mutex);
      if (!state.changed.wait_for(lock, kPatience, [&state] { return state.waiting; })) return;
      RequestStop();
      state.stopped = true;
      state.changed.notify_all();
    });
    const int status = run();
    {
      std::lock_guard<std::mutex> lock(state.mutex);
      state.armed = false;
      *reached = state.stopped;
      // A run that never met the gate lets the stopper go.
      state.waiting = true;
      state.changed.notify_all();
    }
    stopper.join();
    return status;
  }

 private:
  static constexpr auto kPatience = std::chrono::seconds(60);

  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    std::string prefix;
    unsigned mask = 0;
    bool armed = false;
    bool waiting = false;
    bool stopped = false;
  };
  static State& Shared() {
    static State state;
    return state;
  }

  static int Hook(unsigned kind, void*, void* statement, void*) {
    State& state = Shared();
    std::unique_lock<std::mutex> lock(state.mutex);
    if (!state.armed || state.waiting || kind != state.mask) return 0;
    const char* sql = sqlite3_sql(static_cast<sqlite3_stmt*>(statement));
    if (sql == nullptr || std::string(sql).rfind(state.prefix, 0) != 0) return 0;
    state.waiting = true;
    state.changed.notify_all();
    state.changed.wait_for(lock, kPatience, [&state] { return state.stopped; });
    return 0;
  }
  static int Install(sqlite3* db, const char**, const sqlite3_api_routines*) {
    sqlite3_trace_v2(db, SQLITE_TRACE_STMT | SQLITE_TRACE_ROW, Hook, nullptr);
    return SQLITE_OK;
  }
  using AutoExtension = void (*)();
  static AutoExtension Extension() { return reinterpret_cast<AutoExtension>(&Install); }
};

// A stage of a staged run to stop in: where the gate waits, and the line
// the stage then logs.
struct StopStage {
  const char* stage;
  const char* sql_prefix;
  bool rows;
  const char* log;
};

// For each stage: `run` stopped there from another thread ends with 1111,
// no document and the stage's line in `log`; after the library is
// initialised again the same run goes through with one document. `reset`
// initialises the library and forgets the results.
inline void ExpectEachStageStops(const std::vector<StopStage>& stages,
                                 const std::function<int()>& run,
                                 const std::function<void()>& reset,
                                 const std::function<std::string()>& log) {
  for (const StopStage& stage : stages) {
    SCOPED_TRACE(stage.stage);
    reset();
    bool reached = false;
    int status = 0;
    {
      StagedStopGate gate(stage.sql_prefix, stage.rows);
      status = gate.RunStopping(run, &reached);
    }
    EXPECT_TRUE(reached);
    EXPECT_EQ(1111, status);
    EXPECT_EQ(0, g_results.count);
    EXPECT_NE(std::string::npos, log().find(stage.log)) << log();
    reset();
    EXPECT_EQ(0, run());
    EXPECT_EQ(1, g_results.count);
  }
}

}  // namespace kx::test

#endif  // KX_TESTS_STAGED_STOP_GATE_H_
