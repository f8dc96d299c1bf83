#include "builder_tables.h"

namespace midibuilder {

BuilderTables::BuilderTables()
    : pitchTable(static_cast<std::size_t>(kTableFrames) * kTableWidth, 0),
      segmentNoteTable(static_cast<std::size_t>(kTableFrames) * kTableWidth, 0),
      channelBusy(static_cast<std::size_t>(kBusyRows) * kTableWidth, 0),
      bendGainTable(kBendValues, 0.0),
      permutationTable(kPermutationCapacity, 0) {
  smfImage.reserve(kSmfInitialCapacity);
}

}  // namespace midibuilder
