@ The phone's built-in texts, where this firmware keeps them.
@
@ Descriptors (the byte 4 and a 16-bit string number) lie in the descriptor area;
@ pointers to them are what code and data refer to.  String numbers below 46 are
@ entries of the first table, higher numbers entries of the second (number - 46).
@ Each table is a run of one-byte lengths followed directly by the texts in order.

        .macro  descriptor number
        .byte   4, (\number) >> 8, (\number) & 0xff
        .endm

        .macro  length id
        .byte   .Ltext\id\()_end - .Ltext\id
        .endm

        .macro  text id, string
.Ltext\id:
        .ascii  "\string"
.Ltext\id\()_end:
        .endm

@ ---------------------------------------------------------------------------
        .section .sysdesc, "a"
        .global SysDescriptors, SysWelcome, SysCallEnded, SysPinPrompt
SysDescriptors:
        .irp    n, 0,1,2,3,4,5,6,7,8,9,10,11
        descriptor \n
        .endr
SysWelcome:
        descriptor 12
        .irp    n, 13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29
        descriptor \n
        .endr
SysCallEnded:
        descriptor 30
        .irp    n, 31,32,33,34,35,36,37,38,39,40,41,42,43,44,45
        descriptor \n
        .endr
SysPinPrompt:
        descriptor 46
        .irp    n, 47,48,49,50,51,52,53,54,55
        descriptor \n
        .endr

@ ---------------------------------------------------------------------------
        .section .systab1, "a"
        .global SysLengths1
SysLengths1:
        .irp    n, 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22
        length  \n
        .endr
        .irp    n, 23,24,25,26,27,28,29,30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45
        length  \n
        .endr
        text    0, "Menu"
        text    1, "Names"
        text    2, "Messages"
        text    3, "Call register"
        text    4, "Tones"
        text    5, "Settings"
        text    6, "Call divert"
        text    7, "Games"
        text    8, "Calculator"
        text    9, "Reminders"
        text    10, "Clock"
        text    11, "Profiles"
        text    12, "Welcome!"
        text    13, "Search"
        text    14, "Add entry"
        text    15, "Erase"
        text    16, "Edit"
        text    17, "Send"
        text    18, "Options"
        text    19, "Back"
        text    20, "Select"
        text    21, "Missed calls"
        text    22, "Received calls"
        text    23, "Dialled numbers"
        text    24, "Ringing tone"
        text    25, "Ringing volume"
        text    26, "Keypad tones"
        text    27, "Vibrating alert"
        text    28, "Language"
        text    29, "Contrast"
        text    30, "Call\nended"
        text    31, "No network"
        text    32, "Searching..."
        text    33, "Battery low"
        text    34, "Charging"
        text    35, "Keys locked"
        text    36, "Unlock?"
        text    37, "Alarm clock"
        text    38, "Snooze"
        text    39, "Date"
        text    40, "Time"
        text    41, "Yes"
        text    42, "No"
        text    43, "OK"
        text    44, "Quit"
        text    45, "Done"

@ ---------------------------------------------------------------------------
        .section .systab2, "a"
        .global SysLengths2
SysLengths2:
        .irp    n, 100,101,102,103,104,105,106,107,108,109
        length  \n
        .endr
        .fill   846 - 10, 1, 0          @ the rest of the table is still empty
        text    100, "Enter PIN code:"
        text    101, "PIN code accepted"
        text    102, "Wrong PIN code"
        text    103, "Insert SIM card"
        text    104, "SIM card rejected"
        text    105, "Emergency"
        text    106, "Calling"
        text    107, "Call waiting"
        text    108, "Connecting"
        text    109, "Network\nbusy"
