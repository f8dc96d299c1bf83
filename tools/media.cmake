# media-tool: the media layer's jobs from a shell (rendering a MIDI file, the partial
# pictures), for scripts and for making the README's pictures.
if(WITH_MEDIA)
  add_executable(media-tool ${CMAKE_CURRENT_LIST_DIR}/media/media_tool.cpp)
  target_link_libraries(media-tool PRIVATE media)
endif()
