# One place for the warning set; every target of the project calls qx_set_warnings.
function(qx_set_warnings target)
  set(flags -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual
            -Wformat=2 -Wimplicit-fallthrough)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # g++ 12 reports impossible overlaps in inlined std::string concatenation.
    list(APPEND flags -Wno-restrict)
  endif()
  if(QX_WERROR)
    list(APPEND flags -Werror)
  endif()
  # Only the project's C++; generated C (Wayland protocol code) is not ours.
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${flags}>)
endfunction()

# Libraries of the project: one per source folder, named qx_<folder>.
function(qx_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  qx_set_warnings(${name})
endfunction()
