# Fails unless SPLASH is the splash bitmap the launcher can read: 8 bits per
# pixel, BI_RGB, 40-byte header, 256 colours, bottom-up rows right after the
# colour table (1064 bytes into the resource, 1078 into the file).
# cmake -DSPLASH=resources/splash.bmp [-DSTAMP=file] -P cmake/check_splash.cmake
file(SIZE "${SPLASH}" file_size)
if(file_size LESS 54)
  message(FATAL_ERROR "${SPLASH}: ${file_size} bytes, too short for a bitmap")
endif()
file(READ "${SPLASH}" head LIMIT 54 HEX)

# Little-endian unsigned field of `bytes` bytes at `offset`.
function(field offset bytes out)
  set(value 0)
  math(EXPR last "${offset} + ${bytes} - 1")
  foreach(i RANGE ${last} ${offset} -1)
    math(EXPR at "${i} * 2")
    string(SUBSTRING "${head}" ${at} 2 byte)
    math(EXPR value "(${value} << 8) + 0x${byte}")
  endforeach()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

string(SUBSTRING "${head}" 0 4 magic)
field(2 4 declared_size)
field(10 4 bits_offset)
field(14 4 header_size)
field(18 4 width)
field(22 4 height)
field(26 2 planes)
field(28 2 bit_count)
field(30 4 compression)
field(34 4 image_size)
field(46 4 colours_used)

set(expected
  "magic 424d" "declared_size 136678" "bits_offset 1078" "header_size 40" "width 450"
  "height 300" "planes 1" "bit_count 8" "compression 0" "image_size 135600" "colours_used 256")
foreach(pair IN LISTS expected)
  string(REPLACE " " ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 want)
  if(NOT "${${name}}" STREQUAL "${want}")
    message(FATAL_ERROR "${SPLASH}: ${name} is ${${name}}, the launcher needs ${want}")
  endif()
endforeach()
if(NOT file_size EQUAL 136678)
  message(FATAL_ERROR "${SPLASH}: ${file_size} bytes, the rows need exactly 136678")
endif()
if(STAMP)
  file(WRITE "${STAMP}" "splash layout checked\n")
endif()
