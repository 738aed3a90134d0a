# First screen on Windows 2000 Professional, product not installed: Install
# offered; Exit, Escape and the close button end the program and change
# nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows win2k
marker absent
medium

first_screen_runs install "Windows  2000  Professional"

expect_nothing_changed absent
