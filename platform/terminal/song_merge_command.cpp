#include "song_merge_command.h"

#include <filesystem>
#include <limits>
#include <memory>
#include <ostream>
#include <system_error>

#include "command_line.h"
#include "converter_window.h"
#include "field_parsing.h"
#include "file_io.h"
#include "message_glosses.h"
#include "messages.h"
#include "song_merge.h"
#include "targets/target_profile.h"
#include "wide_frames.h"

namespace quorvel_terminal {

namespace {

// Larger than any song worth merging into; the reader refuses nothing by size itself.
constexpr int64_t kLargestSong = int64_t{64} << 20;

// Whether the two names are one file: the same file when both exist, else the same name once
// "." and ".." and the folders' links are resolved.
bool sameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  const std::filesystem::path pa = common::pathFromUtf8(a);
  const std::filesystem::path pb = common::pathFromUtf8(b);
  if (std::filesystem::equivalent(pa, pb, error) && !error) return true;
  const std::filesystem::path ca = std::filesystem::weakly_canonical(pa, error);
  if (error) return false;
  const std::filesystem::path cb = std::filesystem::weakly_canonical(pb, error);
  return !error && ca == cb;
}

// The speech's frames as a conversion of FILE reads them; "" or the fixed message.
std::string readSpeech(const std::string& path, common::AllocationRegistry& registry,
                       common::NoteFrames& frames) {
  if (common::isWidePath(path)) return common::readWideFile(path, frames);
  uint8_t* block = nullptr;
  int32_t length = 0;
  const std::string message = common::readWholeFile(registry, path, 0, block, length);
  if (message.empty()) frames = common::decodeDat(block, static_cast<std::size_t>(length));
  return message;
}

}  // namespace

std::string mergedPathFor(const std::string& songPath, const std::string& speechPath) {
  const std::filesystem::path song = common::pathFromUtf8(songPath);
  const std::filesystem::path speech = common::pathFromUtf8(speechPath);
  std::filesystem::path name = song.stem();
  name += "-with-";
  name += speech.stem();
  name += ".mid";
  return common::utf8FromPath(song.parent_path() / name);
}

int runSongMerge(const ArgumentResult& parsed, TerminalWindow& window, std::string_view program,
                 std::ostream& err) {
  const auto usageError = [&](const std::string& text) {
    err << terminal::usageErrorText(program, text);
    return 2;
  };
  if (parsed.mergeSong.empty()) return usageError("--at needs --merge-into SONG.mid");
  if (parsed.mergeAt.empty()) return usageError("--merge-into needs --at SECONDS|BAR:BEAT");
  if (parsed.files.size() != 1) return usageError("--merge-into takes one FILE");
  if (parsed.render || parsed.plot) {
    return usageError("--render and --plot do not go with --merge-into");
  }
  // An MPE zone owns its manager channel and the member channels above it, which a song's free
  // channels seldom are.
  if (parsed.target != nullptr &&
      parsed.target->channels == midibuilder::ChannelLayout::MpeLowerZone) {
    return usageError("--device " + std::string(parsed.target->spelling) +
                      " does not go with --merge-into");
  }
  const std::optional<midibuilder::SongPosition> at =
      midibuilder::parseSongPosition(parsed.mergeAt);
  if (!at) {
    return usageError("invalid value for --at: '" + parsed.mergeAt +
                      "' (seconds, such as 12.5, or BAR:BEAT counted from 1:1, such as 3:2.5)");
  }
  const auto refuse = [&](const std::string& text) {
    err << program << ": " << text << "\n";
    return 1;
  };

  // The options and FILE are checked, and their refusals shown, as a conversion does.
  const midibuilder::OptionCheck check = midibuilder::readBuilderOptions(window);
  if (!check.message.empty()) {
    window.showMessage(check.message, common::MessageIcon::Exclamation);
    return 1;
  }
  midibuilder::BuilderOptions options = check.options;
  options.target = parsed.target;
  options.bendRange = parsed.bendRange;
  const std::string file(common::trimTrailingSpace(parsed.files.front()));
  if (const std::string_view refusal =
          midibuilder::checkConversionInput(file, parsed.polyphony, parsed.channels, options);
      !refusal.empty()) {
    window.showMessage(refusal, common::MessageIcon::Exclamation);
    return 1;
  }
  const bool wide = common::isWidePath(file);
  const std::string output =
      parsed.outputPath.empty() ? mergedPathFor(parsed.mergeSong, file) : parsed.outputPath;
  if (sameFile(output, parsed.mergeSong)) {
    return refuse(output + " is the song itself; the song is never replaced (-o names another)");
  }

  std::vector<uint8_t> song;
  const std::string songMessage = common::readBoundedFile(parsed.mergeSong, kLargestSong,
                                                          "the song is larger than 64 MB", song);
  if (!songMessage.empty()) {
    const std::string_view meaning = msg::englishMeaning(songMessage);
    return refuse("the song " + parsed.mergeSong + ": " +
                  (meaning.empty() ? songMessage : std::string(meaning)));
  }

  auto tables = std::make_unique<midibuilder::BuilderTables>();
  common::AllocationRegistry registry;
  common::NoteFrames frames;
  std::string message = readSpeech(file, registry, frames);
  if (message.empty() && wide) message = midibuilder::checkWideVoices(options, frames);
  midibuilder::MergeOutcome merged;
  if (message.empty()) {
    merged = midibuilder::mergeIntoSong(*tables, registry, frames, options, song, *at);
    message = merged.buildMessage;
  }
  registry.freeAll();
  if (message.empty() && !merged.refusal.empty()) return refuse(merged.refusal);
  if (message.empty() &&
      merged.midi.size() > static_cast<std::size_t>(std::numeric_limits<int32_t>::max())) {
    message = msg::kNoMemory;
  }
  if (message.empty()) {
    terminal::installDurableWrites();
    common::lastWriteFailure() = {};
    message = common::writeWholeFile(output, merged.midi.data(),
                                     static_cast<int32_t>(merged.midi.size()));
  }
  window.showMessage(message.empty() ? msg::kFinished : std::string_view(message),
                     common::MessageIcon::None);
  return window.succeeded() ? 0 : 1;
}

}  // namespace quorvel_terminal
