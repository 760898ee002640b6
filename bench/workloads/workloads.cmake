# The compiled benchmark workloads: small C programs built at build time with
# arm-none-eabi-gcc (THUMB, ARMv4T, big-endian) at -O2 and -Os into flash images for
# the phone's memory map, with our own start-up code, linker script and runtime.
# Produces <build>/bench/workloads/<name>-<O2|Os>.{elf,fls}; the emulator tests and
# benchmarks find them through TRAVIK_WORKLOAD_DIR, and the emulator tests also
# compile the same C for the host to know the results.

find_program(TRAVIK_ARM_GCC arm-none-eabi-gcc)
find_program(TRAVIK_ARM_OBJCOPY_WL arm-none-eabi-objcopy)
find_program(TRAVIK_ARM_OBJDUMP arm-none-eabi-objdump)
if(NOT TRAVIK_ARM_GCC OR NOT TRAVIK_ARM_OBJCOPY_WL OR NOT TRAVIK_ARM_OBJDUMP)
  message(FATAL_ERROR
    "The benchmark workloads need arm-none-eabi-gcc, -objcopy and -objdump (Debian packages "
    "gcc-arm-none-eabi and binutils-arm-none-eabi; scripts/install-deps installs them).")
endif()

set(wl_src ${CMAKE_CURRENT_LIST_DIR})
set(wl_out ${CMAKE_BINARY_DIR}/bench/workloads)
# name and the repeat count of its benchmark run (about 30-40 M instructions at -O2)
set(wl_names list matrix fsm crc memops recurse)
set(wl_repeat_list 1000)
set(wl_repeat_matrix 1600)
set(wl_repeat_fsm 1400)
set(wl_repeat_crc 1000)
set(wl_repeat_memops 1500)
set(wl_repeat_recurse 900)
set(wl_flags -mthumb -march=armv4t -mbig-endian -ffreestanding -fno-builtin -nostdlib
    -Wall -Wextra -Werror)

set(wl_images)
foreach(opt O2 Os)
  set(runtime ${wl_out}/runtime-${opt}.o)
  add_custom_command(
    OUTPUT ${runtime}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${wl_out}
    COMMAND ${TRAVIK_ARM_GCC} ${wl_flags} -${opt} -fno-tree-loop-distribute-patterns
            -c ${wl_src}/runtime.c -o ${runtime}
    DEPENDS ${wl_src}/runtime.c
    COMMENT "Compiling the workload runtime (-${opt})"
    VERBATIM)
  foreach(name ${wl_names})
    set(base ${wl_out}/${name}-${opt})
    add_custom_command(
      OUTPUT ${base}.fls ${base}.elf
      COMMAND ${TRAVIK_ARM_GCC} ${wl_flags} -${opt} -c ${wl_src}/${name}.c -o ${base}.o
      COMMAND ${TRAVIK_ARM_GCC} ${wl_flags} -T ${wl_src}/workloads.ld
              -Wl,--defsym=workload_entry=wl_${name}
              -Wl,--defsym=workload_repeat=${wl_repeat_${name}}
              -o ${base}.elf ${wl_src}/start.S ${wl_src}/runtime.S ${runtime} ${base}.o
      COMMAND ${TRAVIK_ARM_OBJCOPY_WL} -O binary ${base}.elf ${base}.fls
      DEPENDS ${wl_src}/${name}.c ${wl_src}/workload.h ${wl_src}/start.S ${wl_src}/runtime.S
              ${wl_src}/workloads.ld ${runtime}
      COMMENT "Building workload ${name}-${opt}.fls"
      VERBATIM)
    list(APPEND wl_images ${base}.fls)
  endforeach()
endforeach()
add_custom_target(workload_images ALL DEPENDS ${wl_images})

set(wl_host_sources)
foreach(name ${wl_names})
  list(APPEND wl_host_sources ${wl_src}/${name}.c)
endforeach()

foreach(target tests_emulator tests_listing tests_document bench_emulator bench_run)
  if(TARGET ${target})
    add_dependencies(${target} workload_images)
    target_compile_definitions(${target} PRIVATE
      TRAVIK_WORKLOAD_DIR="${wl_out}" TRAVIK_ARM_OBJDUMP="${TRAVIK_ARM_OBJDUMP}")
    target_include_directories(${target} PRIVATE ${wl_src})
  endif()
endforeach()
if(TARGET tests_emulator)
  target_sources(tests_emulator PRIVATE ${wl_host_sources})
endif()
