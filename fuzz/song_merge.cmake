# Merging speech into any bytes taken as a song (after harnesses.cmake, which defines add_fuzzer).
add_fuzzer(fuzz-song-merge song_merge_fuzz.cpp midibuilder)
