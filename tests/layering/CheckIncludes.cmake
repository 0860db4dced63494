cmake_minimum_required(VERSION 3.25)
# cmake -DROOT=<source tree> -P CheckIncludes.cmake
# The layering on the sources: product code names only the platform headers in a platform
# library's include/ folder and no Linux library or system header (the tile-source library alone
# may, for SQLite, libcurl and files: it is this system's own way to get real tiles; and so may the
# GPX reader, for expat and files: a format reader on a Debian library with no window system or
# platform code in it, the same kind of thing), the tile-source
# library names no product code above it, and the platform names no product header. Lists every
# include that breaks the rule and fails when there is one.
set(product_folders projection net tilesources gpx tiles mapview app)
set(system_exception tilesources gpx)
# Headers of the Linux libraries and of the operating system that only the platform (and the
# tile-source library) may name.
set(system_pattern "^[ \t]*#[ \t]*include[ \t]*<(curl/|sqlite3|expat|SDL|spng|png\\.h|jpeglib|webp/|ft2build|freetype|fontconfig|unistd|fcntl|pthread|dlfcn|sys/|netinet/|arpa/)")
set(problems "")

file(GLOB public_headers RELATIVE ${ROOT} ${ROOT}/platform/*/include/platform/*/*.h)
set(public "")
foreach(header ${public_headers})
  string(REGEX REPLACE "^platform/[^/]+/include/" "" spelled ${header})
  list(APPEND public ${spelled})
endforeach()

foreach(folder ${product_folders})
  file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.c ${ROOT}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${ROOT}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"platform/")
    foreach(line ${lines})
      string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" header "${line}")
      if(NOT header IN_LIST public)
        list(APPEND problems "${source}: ${header} is not a public platform header")
      endif()
    endforeach()
  endforeach()
endforeach()

# Adds to `problems` every line of the sources under `folder` (.h, .c, .cpp) that matches
# `pattern`, each with `why`.
function(forbid_lines folder pattern why)
  file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.c ${ROOT}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${ROOT}/${source} lines REGEX "${pattern}")
    foreach(line ${lines})
      list(APPEND problems "${source}: ${why} (${line})")
    endforeach()
  endforeach()
  set(problems "${problems}" PARENT_SCOPE)
endfunction()

set(include_quoted "^[ \t]*#[ \t]*include[ \t]*\"")
foreach(folder ${product_folders})
  if(NOT folder IN_LIST system_exception)
    forbid_lines(${folder} "${system_pattern}" "only the platform, tilesources/ and gpx/ name system headers")
  endif()
endforeach()
forbid_lines(tilesources "${include_quoted}(tiles|mapview|app)/" "the tile-source library includes product code above it")
# The GPX reader is pure parsing: no platform header and no product code besides its own.
forbid_lines(gpx "${include_quoted}(platform|projection|net|tilesources|tiles|mapview|app)/"
             "the GPX reader includes platform or product code")
string(REPLACE ";" "|" product_pattern "${product_folders}")
forbid_lines(platform "${include_quoted}(${product_pattern})/" "the platform includes product code")

if(problems)
  list(JOIN problems "\n" report)
  message(FATAL_ERROR "Includes across the layering:\n${report}")
endif()
list(LENGTH public count)
message(STATUS "Layering holds: product code uses only the ${count} public platform headers")
