# Compile settings shared by every target of our own code.

if(TESSIVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# Coverage instrumentation for libFuzzer in every library of ours.
if(TESSIVANE_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

option(TESSIVANE_TSAN "Build with ThreadSanitizer" OFF)
if(TESSIVANE_TSAN)
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

# Warnings as errors for our code only; third-party headers come in as system headers.
function(tessivane_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align
    -Wimplicit-fallthrough -Werror)
endfunction()

# tessivane_library(name SOURCES ... DEPS ...): one library per folder of src/.
function(tessivane_library name)
  cmake_parse_arguments(ARG "SHARED" "" "SOURCES;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  tessivane_warnings(${name})
endfunction()
