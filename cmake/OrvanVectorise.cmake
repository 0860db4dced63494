# orvan_vectorised_source(<file>): the file's pixel loops are written to be vectorised, and GCC at
# -O2 (its cheapest vector cost model) leaves loops of unknown length scalar, so optimised builds
# ask for loop vectorisation with the dynamic cost model. Only options the compiler accepts are
# given: Clang vectorises these loops at -O2 already and refuses GCC's spellings.
include(CheckCXXCompilerFlag)
check_cxx_compiler_flag(-ftree-loop-vectorize ORVAN_CXX_HAS_TREE_LOOP_VECTORIZE)
check_cxx_compiler_flag(-fvect-cost-model=dynamic ORVAN_CXX_HAS_VECT_COST_MODEL)
set(ORVAN_VECTORISE_OPTIONS "")
if(ORVAN_CXX_HAS_TREE_LOOP_VECTORIZE)
  list(APPEND ORVAN_VECTORISE_OPTIONS -ftree-loop-vectorize)
endif()
if(ORVAN_CXX_HAS_VECT_COST_MODEL)
  list(APPEND ORVAN_VECTORISE_OPTIONS -fvect-cost-model=dynamic)
endif()

function(orvan_vectorised_source file)
  if(ORVAN_VECTORISE_OPTIONS)
    set_source_files_properties(${file} PROPERTIES COMPILE_OPTIONS
      "$<$<NOT:$<CONFIG:Debug>>:${ORVAN_VECTORISE_OPTIONS}>")
  endif()
endfunction()
