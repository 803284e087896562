# Embeds text files (registry scripts, type library source, manifests) into a
# generated C++ source as `extern const char NAME[]` with `NAME_size` bytes,
# so that they stay readable files in the tree and reach a module's resource
# table as data. Usage: bv_embed_text(OUTPUT out.cpp NAME file NAME file ...)
function(bv_embed_text)
  cmake_parse_arguments(EMBED "" "OUTPUT" "FILES" ${ARGN})
  set(content "// Generated from the files named below; edit those, not this.\n")
  set(pairs ${EMBED_FILES})
  while(pairs)
    list(POP_FRONT pairs name file)
    file(READ ${file} text)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    string(APPEND content
      "// ${file}\n"
      "extern const char ${name}[] = R\"bvembed(${text})bvembed\";\n"
      "extern const unsigned ${name}_size = sizeof ${name} - 1;\n")
  endwhile()
  # Written only when it changes, so that a new configure does not rebuild.
  set(old "")
  if(EXISTS ${EMBED_OUTPUT})
    file(READ ${EMBED_OUTPUT} old)
  endif()
  if(NOT old STREQUAL content)
    file(WRITE ${EMBED_OUTPUT} "${content}")
  endif()
endfunction()
