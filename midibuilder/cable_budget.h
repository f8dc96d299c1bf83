// Fitting a MIDI file to what a MIDI cable carries: the stream of all tracks' channel and
// system exclusive messages, sent with running status, must stay within a number of bytes in
// every 100 ms. Level and bend updates are thinned where that changes the sound least; note-ons
// and note-offs are all kept, delayed only when they alone are too many.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace midibuilder {

struct SmfFile;

// DIN MIDI: 31,250 baud at ten bits a byte (start, eight data bits, stop).
inline constexpr int32_t kDinBytesPerSecond = 3125;
// The span over which a budget holds: budget x 0.1 bytes in any window of this length.
inline constexpr double kBudgetWindowSeconds = 0.1;

// What a pass over one file did.
struct CableBudgetReport {
  bool rewritten = false;       // false: the bytes were given back unchanged
  int64_t messages = 0;         // messages sent down the cable, before the pass
  int64_t bytes = 0;            // their bytes, with running status
  double seconds = 0;           // from the first message to the last
  int64_t windowsOver = 0;      // windows (one starting at each message) over the budget
  int64_t updates = 0;          // level and bend updates after the set-up
  int64_t droppedUpdates = 0;   // of these, left out
  int64_t delayedMessages = 0;  // messages of any kind sent later than written
  int64_t delayedOnsets = 0;    // of these, note-ons and note-offs
  double maxOnsetDelaySeconds = 0;
  double maxDelaySeconds = 0;
};

// The bytes a file's message stream puts on the cable, its span and the 100 ms windows (one
// starting at each message) over `bytesPerSecond`: fills messages, bytes, seconds and
// windowsOver.
CableBudgetReport measureCableLoad(const SmfFile& file, int32_t bytesPerSecond);

struct CableBudgetResult {
  std::vector<uint8_t> bytes;
  CableBudgetReport report;  // of the file given; droppedUpdates and delays of the pass
};

// Rewrites a Standard MIDI File so that its stream stays within `bytesPerSecond`. Bytes that do
// not read as a MIDI file, a budget below 1, or a stream that already fits come back unchanged.
CableBudgetResult fitCableBudget(std::span<const uint8_t> midi, int32_t bytesPerSecond);

// A budget as the command line and the web page spell it: "din" in any case, or a whole number
// of bytes a second from 1000 to 1000000; 0 for neither.
int32_t parseCableBudget(std::string_view value);
// The refusal of a budget that parseCableBudget does not take.
std::string cableBudgetRefusal(std::string_view value);

// What a pass did, in English, on one line without its newline: "budget: 3 of 120 100 ms
// windows were over (...)", and what was left out and delayed when the file was rewritten.
std::string cableBudgetSummary(const CableBudgetReport& report);

}  // namespace midibuilder
