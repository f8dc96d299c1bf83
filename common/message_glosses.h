// The catalogue of the fixed messages (messages.h) with their English meanings, read by every
// front end: the command lines add one English line after each refusal or failure, the studio
// shows the meaning beside the Japanese text. The Japanese texts stay as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace msg {

struct Gloss {
  std::string_view message;  // the fixed text, as in messages.h
  std::string_view meaning;  // what it says, in English
  // For refusals of the recording's form (format, rate, bits, extension): what sevrane-cli
  // reads without --convert, which reads it. Empty otherwise.
  std::string_view convertHint;
};

// Every message that a conversion can end with, except the success message.
const Gloss* glossTable(std::size_t& count);

// The gloss of `message`; null for the success message and for texts that are not fixed ones.
const Gloss* findGloss(std::string_view message);

// The English meaning of any fixed message that a conversion ends with, the success message
// included; empty for texts that are not fixed ones.
std::string_view englishMeaning(std::string_view message);

// The English line for `message`: `detail` (when not empty) in place of the general meaning,
// followed by the hint about --convert when `withConvertHint` is set and the message has one.
// Empty for the success message and for texts without a gloss.
std::string glossLine(std::string_view message, std::string_view detail, bool withConvertHint);

// The English line for a file that could not be written: the message's meaning, then the path
// and the system's reason ("the output file could not be created: out/take.dat: Permission
// denied"). The meaning alone when `path` is empty or `message` is no write failure.
std::string writeFailureLine(std::string_view message, std::string_view path,
                             std::string_view reason);

// What a step after a written file (a rendering, a picture) did not write, and why:
// "WHY; WRITTEN was written, NOT_WRITTEN was not".
std::string partlyWrittenLine(std::string_view why, std::string_view written,
                              std::string_view notWritten);

// Why a MIDI file is not rendered when it plays longer than the renderer's cap.
std::string renderTooLongMeaning(int capSeconds);

// The hint after the data-length refusal of a WAVE whose header gives its data length as
// unknown (0 or 0xFFFFFFFF, as a program writing it to a pipe leaves it).
inline constexpr std::string_view kUnknownLengthHint =
    "the header gives the data length as unknown (as a recording written to a pipe has it); "
    "sevrane-cli reads it with --convert";
// The hint after the length refusal: a part of the recording can be analysed.
inline constexpr std::string_view kPartHint =
    "--start SECONDS and --length SECONDS analyse a part of it";

}  // namespace msg
