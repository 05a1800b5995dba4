# What the Windows cross build needs beyond the toolchain file: the header-only host libraries
# that the command-line tool uses, and Wine as the way to run the programs it builds.
#
# CLI11 and nlohmann-json are header-only Debian packages under /usr/include. That folder cannot
# go on the cross compiler's include path (its glibc headers would clash with MinGW's), so the
# build tree gets a folder holding links to just those two libraries, and find_package() finds a
# small package file for each that points there.

set(DEKVANTO_HOST_INCLUDE_DIR "/usr/include" CACHE PATH
    "Where the host's header-only libraries (CLI, nlohmann) live")

set(dekvanto_host_headers ${CMAKE_BINARY_DIR}/host-headers)
set(dekvanto_host_packages ${CMAKE_BINARY_DIR}/host-packages)
file(MAKE_DIRECTORY ${dekvanto_host_headers} ${dekvanto_host_packages})

# dekvanto_host_header_package(<package> <target> <folder>): links <folder> of the host's
# headers into the build tree and writes <package>Config.cmake defining <target> over it.
function(dekvanto_host_header_package package target folder)
  set(source ${DEKVANTO_HOST_INCLUDE_DIR}/${folder})
  if(NOT EXISTS ${source})
    message(STATUS "${package}: ${source} not found; targets that need it will not build")
    return()
  endif()
  file(CREATE_LINK ${source} ${dekvanto_host_headers}/${folder} SYMBOLIC)
  file(WRITE ${dekvanto_host_packages}/${package}/${package}Config.cmake
"# Written by the Windows cross build: the host's header-only ${package}.
if(NOT TARGET ${target})
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES \"${dekvanto_host_headers}\")
endif()
set(${package}_FOUND TRUE)
")
  set(${package}_DIR ${dekvanto_host_packages}/${package} CACHE PATH
      "Package file of the host's header-only ${package}" FORCE)
endfunction()

dekvanto_host_header_package(CLI11 CLI11::CLI11 CLI)
dekvanto_host_header_package(nlohmann_json nlohmann_json::nlohmann_json nlohmann)

# Programs built here run under Wine (tools/wine/run.sh), in a private prefix in the build tree:
# ctest runs the Windows tests through it, and so does GoogleTest's test listing.
set(DEKVANTO_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix CACHE PATH
    "The Wine prefix the Windows programs of this build run in")
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${PROJECT_SOURCE_DIR}/tools/wine/run.sh --prefix ${DEKVANTO_WINE_PREFIX} --report)
