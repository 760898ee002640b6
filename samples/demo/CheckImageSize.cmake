# cmake -DFILE=path -DSIZE=bytes -P CheckImageSize.cmake: fails unless FILE has exactly
# SIZE bytes (a flash image of the wrong length would open with other offsets).
file(SIZE "${FILE}" actual)
if(NOT actual EQUAL SIZE)
  file(REMOVE "${FILE}")
  message(FATAL_ERROR "${FILE} is ${actual} bytes, expected ${SIZE}")
endif()
