# Reads the table of fuzz targets (targets.txt) into NORVA_FUZZ_TARGETS and, per target,
# NORVA_FUZZ_<name>_SOURCE / _LIBRARY. The libFuzzer build, the corpus replay of the test
# suite and the run script all read the same table.
set(NORVA_FUZZ_DIR ${CMAKE_CURRENT_LIST_DIR})
file(STRINGS ${NORVA_FUZZ_DIR}/targets.txt norva_fuzz_rows REGEX "^[^#]")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${NORVA_FUZZ_DIR}/targets.txt)
set(NORVA_FUZZ_TARGETS)
foreach(row IN LISTS norva_fuzz_rows)
  string(REGEX REPLACE "[ \t]+" ";" fields "${row}")
  list(GET fields 0 name)
  list(GET fields 1 source)
  list(GET fields 2 library)
  string(REPLACE "," ";" library "${library}")
  list(APPEND NORVA_FUZZ_TARGETS ${name})
  set(NORVA_FUZZ_${name}_SOURCE ${NORVA_FUZZ_DIR}/${source})
  set(NORVA_FUZZ_${name}_LIBRARY ${library})
endforeach()
