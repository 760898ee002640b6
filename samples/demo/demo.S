@ Travik demo firmware: a small big-endian THUMB program for the ARM7TDMI.
@
@ It draws a title, a phone text looked up in the system-string tables, a divider,
@ a frame counter and a bouncing smiley into the 84 x 48 LCD buffer and then animates
@ the smiley and the counter for ever.  It uses only what the emulator executes: no
@ SWI, no SBC/ROR, no high-register forms with two low registers, and it touches
@ nothing but the flash and the stack RAM, so a run produces no warnings.
@
@ LCD buffer: 6 banks of 84 bytes; byte u of bank b is column u, bit n is row 8b+n.

        .syntax divided

        .equ    RAM_VARS, 0x00100100    @ our variables (see InitVars)
        .equ    LCD, 0x00107600         @ the display buffer
        .equ    BANK, 84                @ bytes per 8-row bank
        .equ    SPRITE_W, 18            @ smiley columns, with a clear column each side

        @ Offsets into RAM_VARS.
        .equ    V_DIGITS, 0             @ "00000" and a NUL: the frame counter as text
        .equ    V_X, 8                  @ smiley column
        .equ    V_DX, 9                 @ smiley step, 1 or 0xFF
        .equ    V_FRAMES, 12            @ frame count, one word

        .text

@ ---------------------------------------------------------------------------
@ Reset.  The emulator starts in THUMB state at the first halfword, so the image
@ opens with a THUMB branch over the ARM veneer that a real boot would run.
        .thumb
        .global _start
_start:
        b       Entry
        nop

@ The ARM entry veneer: switch to THUMB state and continue at Entry.
        .arm
        .align  2
ArmVeneer:
        add     r0, pc, #1
        bx      r0

@ ---------------------------------------------------------------------------
@ Main routine: draw the screen once, then animate it for ever.
        .thumb
Entry:
        ldr     r0, =LCD
        bl      ClearScreen
        bl      InitVars
        ldr     r0, =TitleText
        ldr     r1, =LCD + 9            @ bank 0, centred
        bl      DrawText
        ldr     r0, =SysWelcome         @ descriptor of a phone text
        ldr     r1, =LCD + BANK + 18    @ bank 1
        bl      DrawSystemString
        bl      DrawDivider
        ldr     r0, =FrameText
        ldr     r1, =LCD + 5 * BANK + 9 @ bank 5
        bl      DrawText
MainLoop:
        bl      MoveSprite
        bl      TickCounter
        b       MainLoop
        .pool

@ ---------------------------------------------------------------------------
@ ClearScreen(r0 = buffer): zeroes the 504 bytes of the LCD buffer.
ClearScreen:
        mov     r1, #0
        mov     r2, #0
        mov     r3, #(6 * BANK / 8)
1:      stmia   r0!, {r1, r2}
        sub     r3, #1
        bne     1b
        mov     pc, lr

@ InitVars: counter text "00000", smiley at column 0 moving right, no frames yet.
InitVars:
        ldr     r0, =RAM_VARS + V_DIGITS
        ldr     r1, =ZeroDigits
        mov     r2, #6                  @ five digits and the NUL
1:      ldrb    r3, [r1]
        strb    r3, [r0]
        add     r1, #1
        add     r0, #1
        sub     r2, #1
        bne     1b
        ldr     r0, =RAM_VARS
        mov     r1, #0
        strb    r1, [r0, #V_X]
        str     r1, [r0, #V_FRAMES]
        mov     r1, #1
        strb    r1, [r0, #V_DX]
        mov     pc, lr
        .pool

@ ---------------------------------------------------------------------------
@ DrawText(r0 = NUL-terminated text, r1 = LCD position) -> r1 after the text.
DrawText:
        push    {r4, lr}
        mov     r4, r0
1:      ldrb    r0, [r4]
        cmp     r0, #0
        beq     2f
        bl      DrawChar
        add     r4, #1
        b       1b
2:      pop     {r4, pc}

@ DrawChar(r0 = character, r1 = LCD position) -> r1 advanced by one cell (6 columns).
DrawChar:
        push    {lr}
        bl      GlyphFor
        mov     r2, #5
1:      ldrb    r3, [r0]
        strb    r3, [r1]
        add     r0, #1
        add     r1, #1
        sub     r2, #1
        bne     1b
        mov     r3, #0                  @ the gap between characters
        strb    r3, [r1]
        add     r1, #1
        pop     {pc}

@ GlyphFor(r0 = character) -> r0 = its five font columns.  Lower case is drawn with
@ the capitals; anything the font lacks is drawn blank.
GlyphFor:
        cmp     r0, #'a'
        bcc     1f
        sub     r0, #0x20
1:      sub     r0, #0x20
        cmp     r0, #(0x5B - 0x20)
        bcc     2f
        mov     r0, #0
2:      mov     r2, #5
        mul     r0, r2
        ldr     r2, =Font
        add     r0, r2
        mov     pc, lr
        .pool

@ ---------------------------------------------------------------------------
@ DrawSystemString(r0 = string descriptor, r1 = LCD position): draws a phone text.
DrawSystemString:
        push    {r4, r5, lr}
        bl      FindSystemString
        mov     r4, r0
        mov     r5, r2
        cmp     r5, #0
        beq     2f
1:      ldrb    r0, [r4]
        bl      DrawChar
        add     r4, #1
        sub     r5, #1
        bne     1b
2:      pop     {r4, r5, pc}

@ FindSystemString(r0 = descriptor) -> r0 = text, r2 = length (0: no such string).
@ A descriptor is the byte 4 and a 16-bit string number.  Numbers below 46 index the
@ first length table, the rest the second; each text follows its table, after the
@ texts of all lower entries.  Keeps r1.
FindSystemString:
        push    {r4, r5}
        ldrb    r2, [r0]
        cmp     r2, #4
        bne     3f
        ldrb    r2, [r0, #1]
        ldrb    r3, [r0, #2]
        lsl     r2, r2, #8
        orr     r2, r3                  @ r2 = string number
        ldr     r0, =SysLengths1
        mov     r4, #46
        cmp     r2, r4
        bcc     1f
        sub     r2, r2, r4
        ldr     r0, =SysLengths2
        ldr     r4, =846
        cmp     r2, r4
        bcs     3f
1:      add     r5, r0, r4              @ first text of the table
        mov     r3, #0
2:      cmp     r3, r2
        beq     4f
        ldrb    r4, [r0, r3]
        add     r5, r5, r4
        add     r3, #1
        b       2b
4:      ldrb    r2, [r0, r3]
        mov     r0, r5
        pop     {r4, r5}
        mov     pc, lr
3:      mov     r2, #0
        pop     {r4, r5}
        mov     pc, lr
        .pool

@ ---------------------------------------------------------------------------
@ DrawDivider: a dotted line across bank 4.
DrawDivider:
        push    {r4}
        ldr     r0, =LCD + 4 * BANK
        ldr     r1, =0x08000800
        mov     r2, r1
        mov     r3, r1
        mov     r4, #(BANK / 12)
1:      stmia   r0!, {r1, r2, r3}
        sub     r4, #1
        bne     1b
        pop     {r4}
        mov     pc, lr
        .pool

@ MoveSprite: one column further, turning round at either edge, and redrawn.
MoveSprite:
        push    {lr}
        ldr     r3, =RAM_VARS
        ldrb    r0, [r3, #V_X]
        ldrb    r1, [r3, #V_DX]
        add     r0, r0, r1
        lsl     r0, r0, #24             @ keep the column a byte
        lsr     r0, r0, #24
        cmp     r0, #0
        beq     1f
        cmp     r0, #(BANK - SPRITE_W)
        bne     2f
1:      neg     r1, r1
        strb    r1, [r3, #V_DX]
2:      strb    r0, [r3, #V_X]
        ldr     r1, =LCD + 2 * BANK
        add     r1, r1, r0
        ldr     r0, =Sprite
        bl      DrawSprite
        pop     {pc}

@ DrawSprite(r0 = picture, r1 = LCD position): two banks of SPRITE_W columns.  The
@ clear edge columns wipe what a one-column move leaves behind.
DrawSprite:
        push    {r4, r5}
        mov     r4, #BANK
        mov     r5, #SPRITE_W
1:      ldrb    r3, [r0]
        strb    r3, [r1]
        ldrb    r3, [r0, #SPRITE_W]
        strb    r3, [r1, r4]
        add     r0, #1
        add     r1, #1
        sub     r5, #1
        bne     1b
        pop     {r4, r5}
        mov     pc, lr
        .pool

@ TickCounter: counts the frame in decimal, shows it, and inverts the title bank
@ every 32 frames.
TickCounter:
        push    {r4, lr}
        ldr     r0, =RAM_VARS + V_DIGITS + 4
        mov     r2, #5
1:      ldrb    r1, [r0]
        add     r1, #1
        cmp     r1, #'9'
        bls     2f
        mov     r1, #'0'                @ carry into the next digit
        strb    r1, [r0]
        sub     r0, #1
        sub     r2, #1
        bne     1b
        b       3f                      @ 99999 wraps round to 00000
2:      strb    r1, [r0]
3:      ldr     r0, =RAM_VARS + V_DIGITS
        ldr     r1, =LCD + 5 * BANK + 45
        bl      DrawText
        ldr     r4, =RAM_VARS
        ldr     r0, [r4, #V_FRAMES]
        add     r0, #1
        str     r0, [r4, #V_FRAMES]
        lsl     r0, r0, #27
        bne     4f
        bl      InvertTitle
4:      pop     {r4, pc}

@ InvertTitle: flips every pixel of bank 0.
InvertTitle:
        ldr     r0, =LCD
        mov     r2, #(BANK / 4)
1:      ldr     r1, [r0]
        mvn     r1, r1
        stmia   r0!, {r1}
        sub     r2, #1
        bne     1b
        mov     pc, lr
        .pool

@ ---------------------------------------------------------------------------
@ Texts and pictures.
        .align  2
TitleText:
        .asciz  "TRAVIK DEMO"
        .align  2
FrameText:
        .asciz  "FRAME "
        .align  2
ZeroDigits:
        .asciz  "00000"

@ The smiley, 16 x 16 pixels: the upper bank's columns, then the lower bank's.
        .align  2
Sprite:
        .byte   0x00, 0xe0, 0x18, 0x04, 0x02, 0x02, 0x31, 0x31, 0x01
        .byte   0x01, 0x31, 0x31, 0x02, 0x02, 0x04, 0x18, 0xe0, 0x00
        .byte   0x00, 0x03, 0x0c, 0x10, 0x21, 0x22, 0x44, 0x44, 0x44
        .byte   0x44, 0x44, 0x44, 0x22, 0x21, 0x10, 0x0c, 0x03, 0x00

@ ---------------------------------------------------------------------------
@ Restart landing.  Started on the veneer's first word, the emulator reads that
@ word's high halfword as a THUMB branch 0x522 bytes on, to this place (the linker
@ script fixes the address); go on to the main routine.
        .section .text.landing, "ax"
        .thumb
VeneerLanding:
        b       Entry
