@ Start-up code of the benchmark workloads: the image begins with a branch to the
@ start and the halt loop, so every workload ends at the same known address
@ (0x200002). The repeat count comes in R0 (0: the workload's own benchmark length,
@ the symbol workload_repeat); the workload's eight results leave in R0-R7.
    .syntax unified
    .cpu arm7tdmi
    .thumb

    .section .text.start, "ax"
    .global _entry
    .global _halt
    .thumb_func
_entry:
    b _start
    .thumb_func
_halt:
    b _halt

    .thumb_func
_start:
    movs r7, r0
    bne 0f
    ldr r7, =workload_repeat
0:
    ldr r0, =__stack_top
    mov sp, r0
    @ .data from its load image in the flash, then a cleared .bss
    ldr r0, =__data_load
    ldr r1, =__data_start
    ldr r2, =__data_end
1:  cmp r1, r2
    bhs 2f
    ldr r3, [r0]
    str r3, [r1]
    adds r0, #4
    adds r1, #4
    b 1b
2:  ldr r1, =__bss_start
    ldr r2, =__bss_end
    movs r3, #0
3:  cmp r1, r2
    bhs 4f
    str r3, [r1]
    adds r1, #4
    b 3b
4:  ldr r0, =results
    movs r1, r7
    bl workload_entry
    ldr r7, =results
    ldmia r7!, {r0-r6}
    ldr r7, [r7]
    b _halt
    .pool

    .bss
    .align 2
    .global results
results:
    .space 32
