# Builds a stand-in library's COM server module as the add-in module is built:
# a shared object under its Windows file name, hidden symbols, no unique
# symbols (they would pin the module in memory and keep the host from
# unloading it), and registry scripts embedded as resources, so that the
# add-in finds it only through the registry.
#
#   bv_standin_server(TARGET core_module FILE_NAME Core.dll SOURCES a.cpp b.cpp
#                     SCRIPTS kHttpScript ${CMAKE_CURRENT_SOURCE_DIR}/HTTP.rgs)
#
# Each script (a full path) becomes `extern const char NAME[]` with `NAME_size` bytes.
include(${PROJECT_SOURCE_DIR}/cmake/EmbedText.cmake)

function(bv_standin_server)
  cmake_parse_arguments(SERVER "" "TARGET;FILE_NAME" "SOURCES;SCRIPTS" ${ARGN})
  set(embedded ${CMAKE_CURRENT_BINARY_DIR}/${SERVER_TARGET}_scripts.cpp)
  bv_embed_text(OUTPUT ${embedded} FILES ${SERVER_SCRIPTS})
  add_library(${SERVER_TARGET} SHARED ${SERVER_SOURCES} ${embedded})
  target_include_directories(${SERVER_TARGET} PRIVATE ${PROJECT_SOURCE_DIR}/standins
    ${PROJECT_SOURCE_DIR}/standins/include)
  target_link_libraries(${SERVER_TARGET} PRIVATE platform)
  target_compile_options(${SERVER_TARGET} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-fno-gnu-unique>)
  get_filename_component(stem ${SERVER_FILE_NAME} NAME_WLE)
  get_filename_component(suffix ${SERVER_FILE_NAME} LAST_EXT)
  set_target_properties(${SERVER_TARGET} PROPERTIES OUTPUT_NAME ${stem} PREFIX ""
    SUFFIX ${suffix} CXX_VISIBILITY_PRESET hidden)
endfunction()
