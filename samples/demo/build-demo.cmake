# Builds the demo firmware, demo.fls (exactly 1 MiB), from our own THUMB assembly
# with the arm-none-eabi binutils, and tells the tests where it is (TRAVIK_DEMO_FLS).

find_program(TRAVIK_ARM_AS arm-none-eabi-as)
find_program(TRAVIK_ARM_LD arm-none-eabi-ld)
find_program(TRAVIK_ARM_OBJCOPY arm-none-eabi-objcopy)
foreach(tool TRAVIK_ARM_AS TRAVIK_ARM_LD TRAVIK_ARM_OBJCOPY)
  if(NOT ${tool})
    message(FATAL_ERROR
      "The demo firmware needs arm-none-eabi-as, arm-none-eabi-ld and arm-none-eabi-objcopy "
      "(Debian package binutils-arm-none-eabi; scripts/install-deps installs it).")
  endif()
endforeach()

set(demo_src ${CMAKE_CURRENT_LIST_DIR})
set(demo_out ${CMAKE_BINARY_DIR}/samples/demo)
set(demo_fls ${demo_out}/demo.fls)
set(demo_asm_flags -EB -mcpu=arm7tdmi -mthumb --fatal-warnings)
set(demo_parts demo font system_strings)

set(demo_objects)
foreach(part ${demo_parts})
  set(object ${demo_out}/${part}.o)
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${demo_out}
    COMMAND ${TRAVIK_ARM_AS} ${demo_asm_flags} -o ${object} ${demo_src}/${part}.S
    DEPENDS ${demo_src}/${part}.S
    COMMENT "Assembling demo firmware ${part}.S"
    VERBATIM)
  list(APPEND demo_objects ${object})
endforeach()

# The flash window starts at 0x200000; padding the binary to 0x300000 makes it 1 MiB.
add_custom_command(
  OUTPUT ${demo_fls}
  COMMAND ${TRAVIK_ARM_LD} -EB -T ${demo_src}/demo.ld -o ${demo_out}/demo.elf ${demo_objects}
  COMMAND ${TRAVIK_ARM_OBJCOPY} -O binary --gap-fill 0 --pad-to 0x300000
          ${demo_out}/demo.elf ${demo_fls}
  COMMAND ${CMAKE_COMMAND} -DFILE=${demo_fls} -DSIZE=1048576
          -P ${demo_src}/CheckImageSize.cmake
  DEPENDS ${demo_objects} ${demo_src}/demo.ld ${demo_src}/CheckImageSize.cmake
  COMMENT "Linking the demo firmware demo.fls"
  VERBATIM)

add_custom_target(demo_firmware ALL DEPENDS ${demo_fls})
set(TRAVIK_DEMO_FLS ${demo_fls} PARENT_SCOPE)
