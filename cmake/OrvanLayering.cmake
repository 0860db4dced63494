# Layering the compiler enforces.
#
# A platform library's public headers sit in its include/ folder (include/platform/<library>/X.h),
# which is its PUBLIC include folder; its other headers stay beside its sources and are found only
# from inside the platform (and from the tools, tests and benchmarks, which see the whole tree).
# The product layers find one another through <build>/product-include, which links the product
# folders and nothing of platform/, so a product source that names a platform header not meant for
# it does not compile. tests/layering/CheckIncludes.cmake checks the same rule on the sources.
set(ORVAN_PRODUCT_FOLDERS projection net tilesources gpx tiles mapview app)
set(ORVAN_PRODUCT_INCLUDE ${PROJECT_BINARY_DIR}/product-include)
file(MAKE_DIRECTORY ${ORVAN_PRODUCT_INCLUDE})
foreach(folder ${ORVAN_PRODUCT_FOLDERS})
  if(EXISTS ${PROJECT_SOURCE_DIR}/${folder} AND NOT EXISTS ${ORVAN_PRODUCT_INCLUDE}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${ORVAN_PRODUCT_INCLUDE}/${folder} SYMBOLIC)
  endif()
endforeach()

function(orvan_platform_library target)
  target_include_directories(${target} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/include PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()

function(orvan_product_library target)
  target_include_directories(${target} PUBLIC ${ORVAN_PRODUCT_INCLUDE})
endfunction()

# orvan_header_file(<out> <header>): where the header included as <header> is in the source tree
# (a public platform header is in its library's include/ folder); empty when it is not there.
function(orvan_header_file out header)
  set(file "")
  string(REGEX MATCH "^platform/[^/]+/" library "${header}")
  if(library AND EXISTS ${PROJECT_SOURCE_DIR}/${library}include/${header})
    set(file ${PROJECT_SOURCE_DIR}/${library}include/${header})
  elseif(EXISTS ${PROJECT_SOURCE_DIR}/${header})
    set(file ${PROJECT_SOURCE_DIR}/${header})
  endif()
  set(${out} ${file} PARENT_SCOPE)
endfunction()
