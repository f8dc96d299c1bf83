#include "midi_events.h"

#include <algorithm>
#include <cmath>

#include "builder_math.h"
#include "targets/targets.h"

namespace midibuilder {

namespace {

// Writes events with their delta times and running status.
class TrackWriter {
 public:
  TrackWriter(std::vector<uint8_t>& out, int64_t pendingDelta)
      : out_(out), pendingDelta_(pendingDelta) {}

  void addTicks(int64_t ticks) { pendingDelta_ += ticks; }

  // A channel event: delta time, the status byte unless it equals the running status, data.
  void channelEvent(uint8_t status, uint8_t data1, uint8_t data2) {
    writeDelta();
    if (status != runningStatus_) {
      out_.push_back(status);
      runningStatus_ = status;
    }
    out_.push_back(data1);
    out_.push_back(data2);
  }
  // A channel event of one data byte (channel pressure).
  void channelEvent(uint8_t status, uint8_t data) {
    writeDelta();
    if (status != runningStatus_) {
      out_.push_back(status);
      runningStatus_ = status;
    }
    out_.push_back(data);
  }

  void endOfTrack() {
    writeDelta();
    out_.insert(out_.end(), {0xFF, 0x2F, 0x00});
  }

 private:
  // A delta time beyond what one quantity holds is carried by empty text events of at most
  // kMaxDeltaTime ticks each; a meta event ends running status, so the next channel event
  // repeats its status byte.
  void writeDelta() {
    while (pendingDelta_ > static_cast<int64_t>(kMaxDeltaTime)) {
      writeVarLen(out_, kMaxDeltaTime);
      out_.insert(out_.end(), {0xFF, 0x01, 0x00});
      pendingDelta_ -= kMaxDeltaTime;
      runningStatus_ = 0;
    }
    writeVarLen(out_, static_cast<uint32_t>(pendingDelta_));
    pendingDelta_ = 0;
  }

  std::vector<uint8_t>& out_;
  int64_t pendingDelta_;
  uint8_t runningStatus_ = 0;
};

}  // namespace

void writeVarLen(std::vector<uint8_t>& out, uint32_t value) {
  if (value > kMaxDeltaTime) value = kMaxDeltaTime;
  uint8_t groups[4];
  int count = 0;
  do {
    groups[count++] = static_cast<uint8_t>(value & 0x7F);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(static_cast<uint8_t>(groups[--count] | 0x80));
  out.push_back(groups[0]);
}

double frameStepTicks(int32_t timeBase, double tempo, int32_t framesPerSecond) {
  // timeBase / 30 at 60 frames a second, as always; halving the divisor's rate is exact in
  // binary, so 120 and 240 frames a second give exactly a half and a quarter of that step.
  return static_cast<double>(timeBase) / (framesPerSecond / 2.0) * tempo / 120;
}

int32_t midiChannelFor(const TargetProfile& target, int32_t channel) {
  return target.channels == ChannelLayout::MpeLowerZone ? channel + 1 : midiChannelOf(channel);
}

double noteFrequencyHz(int32_t note) {
  return kNoteZeroHz * std::pow(kSemitoneRatio, note);
}

int32_t bendValueFor(int32_t frequency, double noteHz, int32_t range) {
  const double f = frequency / 10.0;
  const double p = noteHz;
  // The frequency ratio of the whole range: exp2 of a whole number of octaves is exact, so a
  // range of 24 gives exactly 4 and the same arithmetic as two octaves written out.
  const double span = std::exp2(range / 12.0);
  if (f < p) {
    // ln of 0 or less is -inf or NaN: both end at the lower limit 0.
    const double x =
        (std::log(f) - std::log(p / span)) / (std::log(p) - std::log(p / span)) * 8192 + 0.5;
    return truncClamped(x, 0, 8192);
  }
  const double x =
      (std::log(span * p) - std::log(f)) / (std::log(span * p) - std::log(p)) * 8192 + 0.5;
  // 16383 - trunc(x) limited to 8192 ... 16383 is 16383 - trunc(x limited to 0 ... 8191).
  return 16383 - truncClamped(x, 0, 8191);
}

void emitChannelEvents(const BuilderTables& tables, const FrameSet& frames,
                       const BuilderOptions& options, int32_t channel, int64_t startDelta,
                       std::vector<uint8_t>& out) {
  const TargetProfile& target = targetOf(options);
  const int32_t midiChannel = midiChannelFor(target, channel);
  const auto noteStatus = static_cast<uint8_t>(0x90 + midiChannel);
  const auto bendStatus = static_cast<uint8_t>(0xE0 + midiChannel);
  const auto controlStatus = static_cast<uint8_t>(0xB0 + midiChannel);
  const auto pressureStatus = static_cast<uint8_t>(0xD0 + midiChannel);
  const bool pressure = target.levelMessage == LevelMessage::ChannelPressure;
  const int32_t range = bendRangeOf(options);
  const int32_t ceiling = target.noteCeiling;
  const bool correctBend = target.bendCorrection.enabled;
  // At most about 18,204 ticks for validated options; the guard keeps any other values from
  // reaching an out-of-range conversion below.
  double step = frameStepTicks(options.timeBase, options.tempo, frames.framesPerSecond);
  if (!(step >= 0.0 && step <= 1e9)) step = 0.0;
  const std::size_t column = static_cast<std::size_t>(channel);

  TrackWriter writer(out, startDelta);
  // The level as the target takes it: expression, or per-note pressure.
  const auto sendLevel = [&](int32_t value) {
    if (pressure) {
      writer.channelEvent(pressureStatus, static_cast<uint8_t>(value));
    } else {
      writer.channelEvent(controlStatus, cc::kExpression, static_cast<uint8_t>(value));
    }
  };
  double tickRemainder = 0.0;
  int32_t heldNote = 0;
  int32_t pendingNote = 0;
  int32_t lastExpression = 0;
  bool channelSounding = false;
  // The bend reference before the channel's first centre note: A4.
  double noteHz = 440.0;

  for (int32_t k = 0; k < frames.frameCount; ++k) {
    const int32_t centre =
        tables.segmentNoteTable[static_cast<std::size_t>(k) * kTableWidth + column];
    if (centre != 0) {
      if (heldNote != 0) {
        writer.channelEvent(noteStatus, static_cast<uint8_t>(heldNote), 0x00);
        heldNote = 0;
      }
      // Every note byte stays a valid data byte, whatever the table holds.
      pendingNote = std::clamp(centre, 1, ceiling);
      noteHz = noteFrequencyHz(pendingNote);
    }

    const int32_t level = frames.level(k, channel);
    int32_t expression = expressionOfLevel(level, frames.peakLevel, target.levelCurve);
    if (expression != 0) {
      const int32_t bend = bendValueFor(frames.frequency(k, channel), noteHz, range);
      if (correctBend) {
        // Compensates the module's level change under pitch bend (on the square-root scale,
        // whatever the target's curve); the result may exceed 127 (bends far upward) and is
        // limited there. The gains are measured per bend value at a range of 24 semitones:
        // another range looks up the value that bends as far there.
        const int64_t at24 = 8192 + (static_cast<int64_t>(bend) - 8192) * range / 24;
        const double gain =
            tables.bendGainTable[static_cast<std::size_t>(std::clamp<int64_t>(at24, 0, 16383))];
        const double x =
            std::sqrt(level * 127.0 * 127.0 / gain * tables.bendGainReference / frames.peakLevel) +
            0.5;
        expression = truncClamped(x, 0, 127);
      }
      const auto bendLsb = static_cast<uint8_t>(bend & 0x7F);
      const auto bendMsb = static_cast<uint8_t>(bend >> 7);
      if (expression > lastExpression) {
        writer.channelEvent(bendStatus, bendLsb, bendMsb);
        sendLevel(expression);
      } else {
        if (expression != lastExpression) sendLevel(expression);
        writer.channelEvent(bendStatus, bendLsb, bendMsb);
      }
      lastExpression = expression;
      if (pendingNote != 0) {
        // With per-note pressure the note strikes as loud as it starts.
        const auto velocity = static_cast<uint8_t>(pressure ? expression : 0x7F);
        writer.channelEvent(noteStatus, static_cast<uint8_t>(pendingNote), velocity);
        heldNote = pendingNote;
        pendingNote = 0;
      }
      channelSounding = true;
    } else if (channelSounding) {
      sendLevel(0);
      channelSounding = false;
      lastExpression = 0;
    }

    const double s = step + tickRemainder;
    const double whole = std::trunc(s);
    writer.addTicks(static_cast<int64_t>(whole));
    tickRemainder = s - whole;
  }

  if (heldNote != 0) writer.channelEvent(noteStatus, static_cast<uint8_t>(heldNote), 0x00);
  writer.endOfTrack();
}

}  // namespace midibuilder
