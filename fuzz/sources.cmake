# Portable sources of the launcher's parsers, compiled into kx_portable.
target_sources(kx_portable PRIVATE
  ${root}/launcher/payload_image.cpp
  ${root}/base/payload_names.cpp
  ${root}/launcher/payload_format.cpp)

# The INI model and text decoding, with host stand-ins for the system's code
# pages and the INI model's file I/O.
target_sources(kx_portable PRIVATE
  ${root}/base/inifilex.cpp
  ${root}/base/inifilex_text.cpp
  ${root}/base/number_text.cpp
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

# The XML reader of the prerequisite definitions.
target_sources(kx_portable PRIVATE
  ${root}/prereq/xml/attribute_list.cpp
  ${root}/prereq/xml/entities.cpp
  ${root}/prereq/xml/parser.cpp)

# The prerequisite definitions: numbers, trace lines, element to record.
target_sources(kx_portable PRIVATE
  ${root}/prereq/numbers.cpp
  ${root}/prereq/trace_line.cpp
  ${root}/prereq/definition_reader.cpp)

# The progress arithmetic and its texts.
target_sources(kx_portable PRIVATE
  ${root}/ui/progress_calculator.cpp)

# Condition rules and reboot detection: version texts, pending file operations.
target_sources(kx_portable PRIVATE
  ${root}/prereq/version_compare.cpp
  ${root}/prereq/pending_rename_walk.cpp)

# The GIF reader: blocks, LZW, the first image as a picture.
target_sources(kx_portable PRIVATE
  ${root}/ui/image/gif_cursor.cpp
  ${root}/ui/image/gif_raster.cpp
  ${root}/ui/image/gif_lzw.cpp
  ${root}/ui/image/gif_blocks.cpp
  ${root}/ui/image/gif_header.cpp
  ${root}/ui/image/gif_picture.cpp)

# Web addresses and the response headers of resumed downloads.
target_sources(kx_portable PRIVATE
  ${root}/platform/inet_url.cpp
  ${root}/platform/inet_resume.cpp
  ${root}/platform/inet_status.cpp)

# The resume values a previous prerequisite run left in the registry.
target_sources(kx_portable PRIVATE
  ${root}/prereq/resume_values.cpp)

# The Installer switches of a package command line and its progress records.
target_sources(kx_portable PRIVATE
  ${root}/prereq/msi_arguments.cpp
  ${root}/prereq/msi_progress_record.cpp)

# The skin engine's package walker, value syntax, lookup and bitmap check,
# with the skin builder's reading of skin.ini.
target_sources(kx_portable PRIVATE ${root}/ui/skin/skin_scramble.cpp ${root}/ui/skin/skin_package.cpp ${root}/ui/skin/skin_values.cpp ${root}/ui/skin/skin_bitmap.cpp ${root}/ui/skin/skin_description.cpp ${root}/ui/skin/skin_lookup.cpp ${root}/tools/skin_builder/skin_ini_text.cpp)

# The reference engine's installation record and its removal rules.
target_sources(kx_portable PRIVATE
  ${root}/engine/install_record.cpp)
