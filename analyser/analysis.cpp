#include "analysis.h"

#include "messages.h"
#include "methods/seed_method.h"

namespace analyser {

AnalysisState::AnalysisState() {
  method(kSeedMethodName);
}

AnalysisState::~AnalysisState() = default;

AnalysisMethod* AnalysisState::method(std::string_view name) {
  for (const auto& made : made_) {
    if (made->name() == name) return made.get();
  }
  const MethodEntry* entry = findMethod(name);
  if (entry == nullptr) return nullptr;
  made_.push_back(entry->make());
  return made_.back().get();
}

AnalysisOutcome analyse(AnalysisState& state, const WaveSignal& signal,
                        const AnalysisOptions& options, ProgressSink& sink) {
  AnalysisMethod* method = state.method(options.method);
  if (method == nullptr) return {AnalysisStatus::Refused, msg::kUnknownMethod, {}};
  return method->run(signal, options, sink);
}

}  // namespace analyser
