# quorvel-cli --merge-into: the speech added to a song, in its own source beside the terminal's.
target_sources(quorvel_terminal PRIVATE ${CMAKE_CURRENT_LIST_DIR}/song_merge_command.cpp)
