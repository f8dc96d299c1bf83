// The seed's analysis by synthesis: six partials per frame, each estimated on what the other
// five leave of the signal, in one pass or four; eight voices a frame at unitsPerSecond, exactly
// as the DAT file holds them.
#pragma once

#include <memory>
#include <string_view>

#include "analysis_method.h"

namespace analyser {

inline constexpr std::string_view kSeedMethodName = "seed";

std::unique_ptr<AnalysisMethod> makeSeedMethod();

}  // namespace analyser
