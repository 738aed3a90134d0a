# The choice of disk interface on Windows XP, product not installed: the
# check marks of IDE and SCSI as a user's clicks leave them, Next offered
# once a choice is made; Exit, Escape and the close button in the middle of
# the choice end the program and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows winxp
marker absent
medium

drive <<'SCRIPT'
start E:\Setup.exe E:\
click 1001
hidden 1001
hidden 1010
hidden 1011
visible 1004
visible 1005
visible 1012
text 1012 "Please select your HDD interface :"
unchecked 1004
unchecked 1005
hidden 1008
hidden 1006
screenshot choice.bmp
click 1004
checked 1004
unchecked 1005
visible 1008
hidden 1012
click 1005
checked 1005
unchecked 1004
visible 1008
click 1005
checked 1005
unchecked 1004
nomessage
screenshot ready.bmp
click 1000
exits
start E:\Setup.exe E:\
click 1001
key escape
exits
start E:\Setup.exe E:\
click 1001
click 1004
close
exits
SCRIPT

expect_nothing_changed absent
