# Every build switch of the project, in one place.
option(DEKVANTO_BUILD_TESTS "Build the unit and integration tests" ON)
option(DEKVANTO_BUILD_APP "Build the DEKVANTO desktop application (needs Qt 6 Widgets)" OFF)
option(DEKVANTO_SANITIZE "Build everything with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(DEKVANTO_BUILD_FUZZERS "Build the libFuzzer targets (needs clang)" OFF)

set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)
set(CMAKE_C_STANDARD 99)
set(CMAKE_EXPORT_COMPILE_COMMANDS ON)
if(NOT CMAKE_BUILD_TYPE AND NOT CMAKE_CONFIGURATION_TYPES)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

# Shared libraries and programs land side by side, as they ship.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

add_library(dekvanto_warnings INTERFACE)
if(MSVC)
  target_compile_options(dekvanto_warnings INTERFACE /W4)
else()
  target_compile_options(dekvanto_warnings INTERFACE -Wall -Wextra)
endif()

if(DEKVANTO_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
