// quorvel-cli --merge-into SONG --at POSITION FILE: the speech of FILE added to the song SONG,
// written as a new file beside it.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "quorvel_terminal.h"

namespace quorvel_terminal {

// "dir/song.mid" and "take.dat" give "dir/song-with-take.mid".
std::string mergedPathFor(const std::string& songPath, const std::string& speechPath);

// Runs the merge that `parsed` asks for; returns the exit status (0 written, 1 refused or
// failed, 2 usage error).
int runSongMerge(const ArgumentResult& parsed, TerminalWindow& window, std::string_view program,
                 std::ostream& err);

}  // namespace quorvel_terminal
