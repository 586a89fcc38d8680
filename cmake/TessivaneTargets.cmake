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

# tessivane_own_headers(target folder): the target includes the headers of
# its own folder of src/ as "folder/Header.h", through a link in the build
# tree; of other libraries it sees only what they make public.
function(tessivane_own_headers target folder)
  set(own ${CMAKE_BINARY_DIR}/include/own/${target})
  get_filename_component(parent ${own}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${own}/${folder} SYMBOLIC)
  target_include_directories(${target} PRIVATE ${own})
endfunction()

# tessivane_library(name SOURCES ... PUBLIC_HEADERS ... PUBLIC_DEPS ...
# PRIVATE_DEPS ...): one library per folder of src/. Targets that link it
# include only its PUBLIC_HEADERS, as "folder/Header.h"; its other headers
# are its own.
function(tessivane_library name)
  cmake_parse_arguments(ARG "SHARED" "" "SOURCES;PUBLIC_HEADERS;PUBLIC_DEPS;PRIVATE_DEPS" ${ARGN})
  if(ARG_SHARED)
    add_library(${name} SHARED ${ARG_SOURCES})
  else()
    add_library(${name} STATIC ${ARG_SOURCES})
  endif()
  file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR}/src ${CMAKE_CURRENT_SOURCE_DIR})
  set(public ${CMAKE_BINARY_DIR}/include/public/${name})
  file(REMOVE_RECURSE ${public})
  file(MAKE_DIRECTORY ${public}/${folder})
  foreach(header IN LISTS ARG_PUBLIC_HEADERS)
    if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${header})
      message(FATAL_ERROR "${name}: public header ${header} does not exist")
    endif()
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${public}/${folder}/${header} SYMBOLIC)
  endforeach()
  target_include_directories(${name} PUBLIC ${public})
  tessivane_own_headers(${name} ${folder})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  tessivane_warnings(${name})
endfunction()
