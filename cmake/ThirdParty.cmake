# Header-only libraries the tools use: CLI11 (command lines) and nlohmann JSON (--json, and reading
# it back in the tests). Here they come from Debian's packages (libcli11-dev, nlohmann-json3-dev)
# under /usr/include, whose C library headers clash with mingw-w64's: each library is reached
# through a folder of its own in the build tree that holds only a link to it. Elsewhere (MSVC with
# an installed package) the packages' own CMake targets serve.
function(orvane_header_library target package package_target folder probe)
  add_library(${target} INTERFACE)
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(${package} CONFIG QUIET)
    if(TARGET ${package_target})
      target_link_libraries(${target} INTERFACE ${package_target})
      return()
    endif()
  endif()
  find_path(${target}_ROOT ${folder}/${probe} PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${target}_ROOT)
    message(FATAL_ERROR "${folder}/${probe} not found: install ${package} (scripts/install-deps.sh does)")
  endif()
  set(links ${CMAKE_BINARY_DIR}/third-party/${target})
  file(MAKE_DIRECTORY ${links})
  if(NOT EXISTS ${links}/${folder})
    file(CREATE_LINK ${${target}_ROOT}/${folder} ${links}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} SYSTEM INTERFACE ${links})
endfunction()

orvane_header_library(orvane_cli11 CLI11 CLI11::CLI11 CLI CLI.hpp)
orvane_header_library(orvane_json nlohmann_json nlohmann_json::nlohmann_json nlohmann json.hpp)
