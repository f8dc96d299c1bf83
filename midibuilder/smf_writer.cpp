#include "smf_writer.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "builder_math.h"
#include "file_io.h"
#include "messages.h"
#include "midi_events.h"
#include "targets/targets.h"
#include "wide_frames.h"

namespace midibuilder {

namespace {

void putBigEndian32(std::vector<uint8_t>& out, std::size_t at, uint32_t value) {
  out[at] = static_cast<uint8_t>(value >> 24);
  out[at + 1] = static_cast<uint8_t>(value >> 16);
  out[at + 2] = static_cast<uint8_t>(value >> 8);
  out[at + 3] = static_cast<uint8_t>(value);
}

// "MTrk" and a length to be filled in; returns the chunk's start.
std::size_t beginTrack(std::vector<uint8_t>& out) {
  const std::size_t start = out.size();
  out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
  return start;
}

void endTrack(std::vector<uint8_t>& out, std::size_t start) {
  putBigEndian32(out, start + 4, static_cast<uint32_t>(out.size() - start - 8));
}

// One channel message of a set-up block, before its channel is known.
struct SetupMessage {
  uint8_t status;  // high nibble
  uint8_t data[2];
  uint8_t size;  // data bytes
};

constexpr SetupMessage controlChange(uint8_t number, uint8_t value) {
  return {0xB0, {number, value}, 2};
}

// Appends the messages of one set-up step to `out` (at most four); returns how many.
int messagesOf(const SetupEvent& e, SetupMessage* out) {
  switch (e.kind) {
    case SetupKind::PitchBend:
      out[0] = {0xE0, {e.valueLsb, e.value}, 2};
      return 1;
    case SetupKind::ProgramChange:
      out[0] = {0xC0, {e.value, 0}, 1};
      return 1;
    case SetupKind::Controller:
      out[0] = controlChange(e.number, e.value);
      return 1;
    case SetupKind::Rpn:
    case SetupKind::Nrpn:
      break;
  }
  const bool registered = e.kind == SetupKind::Rpn;
  int n = 0;
  if (e.selectMsb) out[n++] = controlChange(registered ? cc::kRpnMsb : cc::kNrpnMsb, e.number);
  out[n++] = controlChange(registered ? cc::kRpnLsb : cc::kNrpnLsb, e.numberLsb);
  out[n++] = controlChange(cc::kDataEntry, e.value);
  if (e.sendLsb) out[n++] = controlChange(cc::kDataEntryLsb, e.valueLsb);
  return n;
}

// `channels`: the conversion's channel tracks, the member count of an MPE zone.
void appendResetEvent(std::vector<uint8_t>& out, const ResetEvent& e, int32_t channels) {
  switch (e.kind) {
    case ResetKind::GmSystemOn:
      out.insert(out.end(), {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7});
      return;
    case ResetKind::MpeConfiguration: {
      // RPN 6 on the manager channel 1, its data entry the number of member channels (a lower
      // zone has at most 15). Each message carries its status byte: the tempo before it is a
      // meta event, after which a reader may not keep a running status.
      const auto members = static_cast<uint8_t>(std::clamp(channels, 0, 15));
      out.insert(out.end(), {0xB0, cc::kRpnMsb, 0x00, 0x00, 0xB0, cc::kRpnLsb, 0x06, 0x00, 0xB0,
                             cc::kDataEntry, members});
      return;
    }
    case ResetKind::GsReset: {
      // A GS data set (manufacturer 0x41, device 0x10, model 0x42): 00 to address 40 00 7F. The
      // checksum makes address, data and checksum sum to a multiple of 128.
      constexpr uint8_t body[4] = {0x40, 0x00, 0x7F, 0x00};
      int sum = 0;
      for (const uint8_t b : body) sum += b;
      const auto checksum = static_cast<uint8_t>((128 - sum % 128) % 128);
      out.insert(out.end(), {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12});
      out.insert(out.end(), std::begin(body), std::end(body));
      out.insert(out.end(), {checksum, 0xF7});
      return;
    }
    case ResetKind::MasterVolume:
      out.insert(out.end(),
                 {0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, static_cast<uint8_t>(e.value & 0x7F),
                  static_cast<uint8_t>(e.value >> 7 & 0x7F), 0xF7});
      return;
  }
}

}  // namespace

int32_t tempoMicroseconds(double tempo) {
  return truncClamped(60000000 / tempo + 0.5, 0, 0xFFFFFF);
}

std::string outputPathFor(const std::string& inputPath) {
  // "x.wdat" gives "x.mid" as "x.dat" does.
  const std::size_t drop = common::isWidePath(inputPath) ? 4 : 3;
  const std::size_t keep = inputPath.size() >= drop ? inputPath.size() - drop : 0;
  return inputPath.substr(0, keep) + "mid";
}

int32_t setupMessageCount(const TargetProfile& target) {
  int32_t count = 0;
  SetupMessage messages[4];
  for (const SetupEvent& e : target.setup) count += messagesOf(e, messages);
  return count;
}

void writeSetupBlock(std::vector<uint8_t>& out, int32_t channel, int32_t timeBase,
                     const TargetProfile& target, int32_t bendRange) {
  double previous = 0.0;  // b(M - 1)
  int m = 0;
  uint8_t runningStatus = 0;
  for (SetupEvent e : target.setup) {
    // RPN 0/0, the pitch-bend sensitivity, says the conversion's range.
    if (bendRange > 0 && e.kind == SetupKind::Rpn && e.number == 0 && e.numberLsb == 0) {
      e.value = static_cast<uint8_t>(std::clamp(bendRange, 0, 127));
    }
    SetupMessage messages[4];
    const int count = messagesOf(e, messages);
    for (int i = 0; i < count; ++i, ++m) {
      if (m == 0) {
        writeVarLen(out, static_cast<uint32_t>(timeBase));
      } else {
        // Message M lies at timeBase + trunc(timeBase x M / 50): the deltas carry the truncation.
        const double b = static_cast<double>(timeBase) * m / 50;
        writeVarLen(out, static_cast<uint32_t>(truncClamped(b - std::trunc(previous), 0, 65535)));
        previous = b;
      }
      const SetupMessage& message = messages[i];
      const auto status = static_cast<uint8_t>(message.status + channel);
      if (status != runningStatus) out.push_back(status);
      runningStatus = status;
      out.insert(out.end(), message.data, message.data + message.size);
    }
  }
}

void writeConductorTrack(std::vector<uint8_t>& out, double tempo, int32_t timeBase,
                         const TargetProfile& target, int32_t channels) {
  const std::size_t start = beginTrack(out);
  const auto us = static_cast<uint32_t>(tempoMicroseconds(tempo));
  out.insert(out.end(), {0x00, 0xFF, 0x51, 0x03, static_cast<uint8_t>(us >> 16),
                         static_cast<uint8_t>(us >> 8), static_cast<uint8_t>(us)});
  for (const ResetEvent& e : target.reset) {
    // Beyond what a delta time holds only for absurd delays; writeVarLen limits it.
    const int64_t delay = static_cast<int64_t>(timeBase) * e.quartersAfter;
    writeVarLen(out, static_cast<uint32_t>(std::clamp<int64_t>(delay, 0, kMaxDeltaTime)));
    appendResetEvent(out, e, channels);
  }
  out.insert(out.end(), {0x00, 0xFF, 0x2F, 0x00});
  endTrack(out, start);
}

void assembleMidiFile(BuilderTables& tables, const FrameSet& frames,
                      const BuilderOptions& options) {
  std::vector<uint8_t>& out = tables.smfImage;
  out.clear();
  const auto tracks = static_cast<uint32_t>(options.usedChannels + 1);
  const auto division = static_cast<uint32_t>(options.timeBase);
  out.insert(out.end(), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, static_cast<uint8_t>(tracks >> 8),
                         static_cast<uint8_t>(tracks), static_cast<uint8_t>(division >> 8),
                         static_cast<uint8_t>(division)});
  const TargetProfile& target = targetOf(options);
  // Ticks from the set-up block's last message to the note start time; never negative for a
  // profile within the set-up's limit.
  const int32_t last = std::max(setupMessageCount(target) - 1, 0);
  const int64_t startDelta = std::max<int64_t>(
      static_cast<int64_t>(options.noteStartTime) - options.timeBase -
          static_cast<int64_t>(std::trunc(options.timeBase * static_cast<double>(last) / 50)),
      0);
  for (int32_t ch = 0; ch < options.usedChannels; ++ch) {
    const std::size_t start = beginTrack(out);
    writeSetupBlock(out, midiChannelFor(target, ch), options.timeBase, target,
                    bendRangeOf(options));
    emitChannelEvents(tables, frames, options, ch, startDelta, out);
    endTrack(out, start);
  }
  writeConductorTrack(out, options.tempo, options.timeBase, target, options.usedChannels);
}

std::string buildMidiFile(BuilderTables& tables, const FrameSet& frames,
                          const BuilderOptions& options, const std::string& inputPath) {
  assembleMidiFile(tables, frames, options);
  // Far beyond any real conversion (36,001 frames make a few megabytes), but a length field of
  // the write must not wrap.
  if (tables.smfImage.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    return std::string(msg::kNoMemory);
  }
  return common::writeWholeFile(outputPathFor(inputPath), tables.smfImage.data(),
                                static_cast<int32_t>(tables.smfImage.size()));
}

}  // namespace midibuilder
