# First screen on Windows XP Professional, product not installed: Install
# offered; Exit, Escape and the close button end the program and change
# nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows winxp
marker absent
medium

first_screen_runs install "Windows  XP  Professional"

expect_nothing_changed absent
