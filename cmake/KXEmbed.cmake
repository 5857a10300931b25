# Resource embedding: files become bytes compiled into a target, registered by name in the
# process-wide resource table (lib/core/KXResources.h) before main(). Nothing is read from the source
# tree at run time.
#
#   kx_embed_resources(TARGET <target> [FUNCTION <name>] NAMES <n1> <n2> ... FILES <f1> <f2> ...)
#
# NAMES and FILES pair up in order. The generated source also defines `void <FUNCTION>()`, which
# registers the table (once) when called. An executable needs nothing more; a static library must
# call it from code that is always linked, because the linker drops archive members nobody
# references, and with them their static initialisers.
set(KX_EMBED_GENERATOR ${CMAKE_CURRENT_LIST_DIR}/KXEmbedGen.cmake)

function(kx_embed_resources)
  cmake_parse_arguments(ARG "" "TARGET;FUNCTION" "NAMES;FILES" ${ARGN})
  if(NOT ARG_TARGET)
    message(FATAL_ERROR "kx_embed_resources: TARGET is required")
  endif()
  if(NOT ARG_FUNCTION)
    string(MAKE_C_IDENTIFIER "KXRegisterResources_${ARG_TARGET}" ARG_FUNCTION)
  endif()
  list(LENGTH ARG_NAMES NameCount)
  list(LENGTH ARG_FILES FileCount)
  if(NOT NameCount EQUAL FileCount)
    message(FATAL_ERROR "kx_embed_resources(${ARG_TARGET}): ${NameCount} names but ${FileCount} files")
  endif()
  if(NameCount EQUAL 0)
    message(FATAL_ERROR "kx_embed_resources(${ARG_TARGET}): no resources given")
  endif()

  set(Manifest "")
  set(Depends "")
  math(EXPR Last "${NameCount} - 1")
  foreach(I RANGE ${Last})
    list(GET ARG_NAMES ${I} Name)
    list(GET ARG_FILES ${I} File)
    get_filename_component(File "${File}" ABSOLUTE)
    if(NOT EXISTS "${File}")
      message(FATAL_ERROR "Embedded resource ${Name}: file \"${File}\" does not exist")
    endif()
    if(NOT Name MATCHES "^[A-Za-z0-9_.-]+$")
      message(FATAL_ERROR "Embedded resource name \"${Name}\" may hold only letters, digits, '_', '.' and '-'")
    endif()
    string(APPEND Manifest "${Name}|${File}\n")
    list(APPEND Depends "${File}")
  endforeach()

  set(Dir ${CMAKE_CURRENT_BINARY_DIR}/kxembed)
  set(ManifestFile ${Dir}/${ARG_TARGET}.manifest)
  set(Output ${Dir}/${ARG_TARGET}_resources.cpp)
  # Rewritten only when the list changes, so a re-configure does not rebuild the bytes.
  file(CONFIGURE OUTPUT ${ManifestFile} CONTENT "${Manifest}")
  add_custom_command(
    OUTPUT ${Output}
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${ManifestFile} -DOUTPUT=${Output} -DFUNCTION=${ARG_FUNCTION}
            -P ${KX_EMBED_GENERATOR}
    DEPENDS ${Depends} ${ManifestFile} ${KX_EMBED_GENERATOR}
    COMMENT "Embedding ${NameCount} resources into ${ARG_TARGET}"
    VERBATIM)
  target_sources(${ARG_TARGET} PRIVATE ${Output})
endfunction()
