# First screen on Windows 7 (Wine's default), an NT version the program
# does not support, product not installed: Install offered; Exit, Escape
# and the close button end the program and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows win7
marker absent
medium

first_screen_runs install "$UNSUPPORTED_NT_TEXT"

expect_nothing_changed absent
