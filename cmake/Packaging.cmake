# `cpack -G DEB` in the build folder makes travik_<version>_amd64.deb from everything
# the install rules put in place, whichever component they name: one package.
set(CPACK_PACKAGE_NAME travik)
set(CPACK_PACKAGE_VENDOR "Travik developers")
set(CPACK_PACKAGE_CONTACT "Travik developers <travik@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "THUMB disassembly listing, annotations and emulator for phone flash images")
set(CPACK_PACKAGE_DESCRIPTION
  "Travik opens the raw big-endian flash image of a phone whose ARM7TDMI runs THUMB code,
shows it as a disassembly listing, finds routines, calls and literal pools, keeps the
user's annotations in an info file beside the image and runs the firmware in an
emulator that gdb can drive. travik-cli does the same in batch.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY travik)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (Qt among them, whose libqt6gui6 carries the xcb and
# offscreen platform plugins) come from dpkg-shlibdeps; what it cannot see is added:
# the Python module's interpreter and the fonts behind "Courier New" and "Arial".
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3, fonts-liberation")
# The Python module is built for one interpreter version's ABI: it loads into that only.
if(TARGET travik_python AND TRAVIK_PYTHON_EXECUTABLE)
  execute_process(COMMAND ${TRAVIK_PYTHON_EXECUTABLE} -c
      "import sys; print('%d;%d' % sys.version_info[:2])"
    OUTPUT_VARIABLE version OUTPUT_STRIP_TRAILING_WHITESPACE)
  list(GET version 0 major)
  list(GET version 1 minor)
  math(EXPR next "${minor} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "python3 (>= ${major}.${minor}~), python3 (<< ${major}.${next}), fonts-liberation")
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gdb-multiarch, xvfb")

include(CPack)
