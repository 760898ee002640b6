@ What the compiler calls but the workloads cannot take from libgcc (it has no
@ big-endian ARMv4T THUMB build): division with remainder and the switch-table
@ helpers of -Os. The plain division loops are in runtime.c.
    .syntax unified
    .cpu arm7tdmi
    .thumb
    .text

@ q in R0 and r in R1 for R0 / R1, unsigned and signed.
    .global __aeabi_uidivmod
    .thumb_func
__aeabi_uidivmod:
    push {r0, r1, r2, lr}
    bl __aeabi_uidiv
    pop {r1, r2}
    movs r3, r0
    muls r3, r2
    subs r1, r1, r3
    pop {r2, r3}
    bx r3

    .global __aeabi_idivmod
    .thumb_func
__aeabi_idivmod:
    push {r0, r1, r2, lr}
    bl __aeabi_idiv
    pop {r1, r2}
    movs r3, r0
    muls r3, r2
    subs r1, r1, r3
    pop {r2, r3}
    bx r3

@ Switch tables placed after the call: LR (odd, THUMB) points at the table, R0 is
@ the index; each entry is the distance to the case in halfwords.
    .global __gnu_thumb1_case_uqi
    .thumb_func
__gnu_thumb1_case_uqi:
    push {r1}
    mov r1, lr
    lsrs r1, r1, #1
    lsls r1, r1, #1
    ldrb r1, [r1, r0]
    lsls r1, r1, #1
    add lr, lr, r1
    pop {r1}
    bx lr

    .global __gnu_thumb1_case_sqi
    .thumb_func
__gnu_thumb1_case_sqi:
    push {r1}
    mov r1, lr
    lsrs r1, r1, #1
    lsls r1, r1, #1
    ldrsb r1, [r1, r0]
    lsls r1, r1, #1
    add lr, lr, r1
    pop {r1}
    bx lr

    .global __gnu_thumb1_case_uhi
    .thumb_func
__gnu_thumb1_case_uhi:
    push {r0, r1}
    mov r1, lr
    lsrs r1, r1, #1
    lsls r0, r0, #1
    lsls r1, r1, #1
    ldrh r1, [r1, r0]
    lsls r1, r1, #1
    add lr, lr, r1
    pop {r0, r1}
    bx lr

    .global __gnu_thumb1_case_shi
    .thumb_func
__gnu_thumb1_case_shi:
    push {r0, r1}
    mov r1, lr
    lsrs r1, r1, #1
    lsls r0, r0, #1
    lsls r1, r1, #1
    ldrsh r1, [r1, r0]
    lsls r1, r1, #1
    add lr, lr, r1
    pop {r0, r1}
    bx lr
