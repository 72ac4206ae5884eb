# Writes OUTPUT, a C++ source that holds the sky file INPUT as
# blindscan::emulator::default_sky_text, so the emulator needs no data file.
file(READ "${INPUT}" sky)
if(sky MATCHES "\\)sky\"")
  message(FATAL_ERROR "${INPUT} must not contain the raw-string end )sky\"")
endif()
file(WRITE "${OUTPUT}.tmp"
  "// Generated from ${INPUT}; edit that file instead.\n"
  "#include \"emulator/input/default_sky.h\"\n\n"
  "namespace blindscan::emulator {\n\n"
  "const std::string_view default_sky_text = R\"sky(${sky})sky\";\n\n"
  "}  // namespace blindscan::emulator\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
