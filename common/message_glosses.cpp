#include "message_glosses.h"

#include <iterator>

#include "messages.h"

namespace msg {

namespace {

constexpr Gloss kGlosses[] = {
    {kFileNotFound, "file not found", ""},
    {kCannotOpen, "the file cannot be opened", ""},
    {kNoMemory, "not enough memory", ""},
    {kReadError, "error while reading the file", ""},
    {kCannotCreate, "the output file could not be created", ""},
    {kWriteError, "error while writing the output file", ""},
    {kUnsupportedFile, "this file cannot be handled",
     "sevrane-cli reads only PCM WAVE files, 16-bit, mono or stereo, unless --convert is given"},
    {kBadDataLength, "the data length is wrong (the file is cut short or damaged)", ""},
    {kNot44100, "the sample rate is not 44100 Hz",
     "sevrane-cli reads only 44100 Hz unless --convert is given"},
    {kNot16Bit, "the samples are not 16-bit",
     "sevrane-cli reads only 16-bit samples unless --convert is given"},
    {kAudioTooLong, "the recording is too long (at most 600 seconds)", ""},
    {kCancelled, "cancelled; nothing was written", ""},
    {kNoCounter, "time cannot be measured (no high-resolution performance counter)", ""},
    {kSpecifyWave, "give a WAVE file (the name must end in .wav)",
     "sevrane-cli takes other names only when --convert is given"},
    {kUnknownMethod, "there is no analysis method of that name", ""},
    {kChannelsBelowPolyphony, "use at least as many channels as voices (--channels, --polyphony)",
     ""},
    {kTempoRange, "give a tempo from 30 to 1000", ""},
    {kTimeBaseRange, "give a time base from 24 to 65535", ""},
    {kNoteStartTooEarly, "the note start is too early (at least twice the time base)", ""},
    {kSpecifyDat, "give a DAT file (the name must end in .dat)", ""},
    {kDatTooLong, "the DAT file is too long (at most 36001 frames)", ""},
    {kPolyphonyAboveVoices,
     "the file holds fewer voices than asked for (--polyphony at most the file's voices)", ""},
};

}  // namespace

const Gloss* glossTable(std::size_t& count) {
  count = std::size(kGlosses);
  return kGlosses;
}

const Gloss* findGloss(std::string_view message) {
  for (const Gloss& g : kGlosses) {
    if (g.message == message) return &g;
  }
  return nullptr;
}

std::string_view englishMeaning(std::string_view message) {
  if (message == kFinished) return "done";
  const Gloss* gloss = findGloss(message);
  return gloss ? gloss->meaning : std::string_view();
}

std::string glossLine(std::string_view message, std::string_view detail, bool withConvertHint) {
  const Gloss* gloss = findGloss(message);
  if (gloss == nullptr) return {};
  std::string line(detail.empty() ? gloss->meaning : detail);
  if (withConvertHint && !gloss->convertHint.empty()) {
    line += "; ";
    line += gloss->convertHint;
  }
  return line;
}

std::string writeFailureLine(std::string_view message, std::string_view path,
                             std::string_view reason) {
  std::string line = glossLine(message, "", false);
  if (path.empty() || (message != kCannotCreate && message != kWriteError)) return line;
  line.append(": ").append(path);
  if (!reason.empty()) line.append(": ").append(reason);
  return line;
}

std::string partlyWrittenLine(std::string_view why, std::string_view written,
                              std::string_view notWritten) {
  std::string line(why);
  line.append("; ").append(written).append(" was written, ").append(notWritten);
  return line.append(" was not");
}

std::string renderTooLongMeaning(int capSeconds) {
  return "the MIDI file plays longer than " + std::to_string(capSeconds) +
         " seconds, the longest rendering made";
}

}  // namespace msg
