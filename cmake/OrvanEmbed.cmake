# orvan_embed_file(<target> <symbol> <file>): builds the bytes of <file> into <target> as
#   extern "C" const unsigned char <symbol>[];  extern "C" const unsigned int <symbol>_size;
# The generated source is rewritten whenever the file changes.
function(orvan_embed_file target symbol file)
  get_filename_component(abs "${file}" ABSOLUTE)
  set(out "${CMAKE_CURRENT_BINARY_DIR}/embedded/${symbol}.cpp")
  add_custom_command(
    OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -DIN=${abs} -DOUT=${out} -DSYMBOL=${symbol} -P "${ORVAN_EMBED_SCRIPT}"
    DEPENDS "${abs}" "${ORVAN_EMBED_SCRIPT}"
    COMMENT "Embedding ${file} as ${symbol}"
    VERBATIM)
  target_sources(${target} PRIVATE "${out}")
endfunction()

set(ORVAN_EMBED_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/OrvanEmbedWrite.cmake" CACHE INTERNAL "")
