# Windows 98: Exit, Escape and the close button while the interface is being
# chosen and once it is chosen end the program, and nothing is changed.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x win98

drive <<'SCRIPT'
start E:\Setup.exe E:\
click 1001
visible 1004
click 1000
exits
start E:\Setup.exe E:\
click 1001
visible 1004
key escape
exits
start E:\Setup.exe E:\
click 1001
visible 1004
close
exits
start E:\Setup.exe E:\
click 1001
click 1005
visible 1008
click 1000
exits
start E:\Setup.exe E:\
click 1001
click 1004
visible 1008
key escape
exits
start E:\Setup.exe E:\
click 1001
click 1005
click 1004
visible 1008
close
exits
SCRIPT

expect_nothing_changed absent
expect_9x_untouched
