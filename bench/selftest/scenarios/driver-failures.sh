# The driver fails where it must, and says what it expected and found.
windows winxp

drive --fails 'expected text "2  5.1  1 0x100 " in control 1011, found "2  5.1  1 0x100"' <<'SCRIPT'
start E:\Setup.exe E:\
text 1011 "2  5.1  1 0x100 "
SCRIPT

drive --fails 'expected control 1002 shown, found it hidden' <<'SCRIPT'
start E:\Setup.exe E:\
visible 1002
SCRIPT

drive --fails 'cannot click control 1008: it is hidden' <<'SCRIPT'
start E:\Setup.exe E:\
click 1008
SCRIPT

drive --fails 'expected control 1004 checked, found it unchecked' <<'SCRIPT'
start E:\Setup.exe E:\
click 1001
click 1005
checked 1004
SCRIPT

drive --fails 'expected progress position 3, found 0' <<'SCRIPT'
start E:\Setup.exe E:\
progress 3
SCRIPT

drive --fails 'expected progress range 0 to 100, found 0 to 10' <<'SCRIPT'
start E:\Setup.exe E:\
range 0 100
SCRIPT

drive --fails 'expected the keyboard focus on control 1001, found it on control 1000' <<'SCRIPT'
start E:\Setup.exe E:\
focus 1001
SCRIPT

drive --fails 'expected the program still running, it has ended' <<'SCRIPT'
start E:\Setup.exe E:\
click 1000
exits
alive
SCRIPT

drive --fails 'bad escape in quoted text' <<'SCRIPT'
text 1011 "a\b"
SCRIPT

drive --fails 'expected a visible dialog "Setup" of class #32770; the program ended' <<'SCRIPT'
start C:\windows\system32\hostname.exe C:\
SCRIPT

# Each of these leaves its program with the message box open (the stand-in
# creates the marker first, so it is taken away again before each run).
drive --fails 'expected the hand icon in the message box, found the question icon' <<'SCRIPT'
start E:\Setup.exe E:\
click 1001
click 1004
click 1008
message "Warning" "Install OK !! System will be restart ......." hand
SCRIPT

marker absent
drive --fails 'expected message box "Warning" "Install OK !! System will be restart ......", found "Warning" "Install OK !! System will be restart ......."' <<'SCRIPT'
start E:\Setup.exe E:\
click 1001
click 1004
click 1008
message "Warning" "Install OK !! System will be restart ......"
SCRIPT

marker absent
# The driver's round trips to the dialog can be answered while Wine still
# handles the click (waiting on another process, a thread takes the messages
# sent to it), so the box may come a moment after nomessage has looked.
drive --fails 'expected no message box, found "Warning" "Install OK !! System will be restart ......."' <<'SCRIPT'
start E:\Setup.exe E:\
click 1001
click 1004
click 1008
sleep 2000
nomessage
SCRIPT

marker absent
drive --fails 'the dialog takes no input' <<'SCRIPT'
start E:\Setup.exe E:\
click 1001
click 1004
click 1008
sleep 500
click 1000
SCRIPT
