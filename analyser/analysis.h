// The analysis stage: a loaded signal, the options and a progress sink in; the outcome with its
// status, its fixed message and the note frames out. Nothing is read, written or shown here;
// the convert command (and any other front end) does that around it.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "methods/analysis_method.h"

namespace analyser {

// The methods a program has used, each made once and kept, with its storage, for every later
// conversion. The seed's method is made at once.
class AnalysisState {
 public:
  AnalysisState();
  ~AnalysisState();
  AnalysisState(const AnalysisState&) = delete;
  AnalysisState& operator=(const AnalysisState&) = delete;

  // The method called `name`, made on first use; null when there is none.
  AnalysisMethod* method(std::string_view name);

 private:
  std::vector<std::unique_ptr<AnalysisMethod>> made_;
};

// Runs the method that options.method names. An unknown name is refused with
// "指定された解析方法はありません" before anything reaches the sink.
AnalysisOutcome analyse(AnalysisState& state, const WaveSignal& signal,
                        const AnalysisOptions& options, ProgressSink& sink);

}  // namespace analyser
