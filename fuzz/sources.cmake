# Portable sources of the launcher's parsers, compiled into kx_portable.
target_sources(kx_portable PRIVATE
  ${root}/launcher/payload_image.cpp
  ${root}/launcher/payload_names.cpp
  ${root}/launcher/payload_format.cpp)

# The INI model and text decoding, with host stand-ins for the system's code
# pages and the INI model's file I/O.
target_sources(kx_portable PRIVATE
  ${root}/base/inifilex.cpp
  ${root}/base/inifilex_text.cpp
  ${root}/base/pattern_format.cpp
  ${root}/base/text_encoding.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/host_inifilex_io.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/host_text_encoding.cpp)

# The path and address helpers.
target_sources(kx_portable PRIVATE
  ${root}/base/path.cpp)

# The command line: splitting, switch lookup, the readers into the settings.
target_sources(kx_portable PRIVATE
  ${root}/launcher/command_line.cpp)

# The run's language rules and the formatting of its texts.
target_sources(kx_portable PRIVATE
  ${root}/launcher/language.cpp
  ${root}/base/text_format.cpp)
