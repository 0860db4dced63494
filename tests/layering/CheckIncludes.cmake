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

foreach(folder ${product_folders})
  if(folder IN_LIST system_exception)
    continue()
  endif()
  file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/${folder}/*.h ${ROOT}/${folder}/*.c ${ROOT}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${ROOT}/${source} lines REGEX "${system_pattern}")
    foreach(line ${lines})
      list(APPEND problems "${source}: only the platform, tilesources/ and gpx/ name system headers (${line})")
    endforeach()
  endforeach()
endforeach()

file(GLOB_RECURSE library_sources RELATIVE ${ROOT} ${ROOT}/tilesources/*.h ${ROOT}/tilesources/*.cpp)
foreach(source ${library_sources})
  file(STRINGS ${ROOT}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(tiles|mapview|app)/")
  foreach(line ${lines})
    list(APPEND problems "${source}: the tile-source library includes product code above it (${line})")
  endforeach()
endforeach()

# The GPX reader is pure parsing: no platform header and no product code besides its own.
file(GLOB_RECURSE gpx_sources RELATIVE ${ROOT} ${ROOT}/gpx/*.h ${ROOT}/gpx/*.cpp)
foreach(source ${gpx_sources})
  file(STRINGS ${ROOT}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(platform|projection|net|tilesources|tiles|mapview|app)/")
  foreach(line ${lines})
    list(APPEND problems "${source}: the GPX reader includes platform or product code (${line})")
  endforeach()
endforeach()

string(REPLACE ";" "|" product_pattern "${product_folders}")
file(GLOB_RECURSE platform_sources RELATIVE ${ROOT} ${ROOT}/platform/*.h ${ROOT}/platform/*.cpp)
foreach(source ${platform_sources})
  file(STRINGS ${ROOT}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(${product_pattern})/")
  foreach(line ${lines})
    list(APPEND problems "${source}: the platform includes product code (${line})")
  endforeach()
endforeach()

if(problems)
  list(JOIN problems "\n" report)
  message(FATAL_ERROR "Includes across the layering:\n${report}")
endif()
list(LENGTH public count)
message(STATUS "Layering holds: product code uses only the ${count} public platform headers")
