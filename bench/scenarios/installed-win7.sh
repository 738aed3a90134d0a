# First screen on Windows 7 (Wine's default), an NT version the program
# does not support, product installed: Uninstall offered; Exit, Escape, the
# close button, Enter and space end the program and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows win7
marker present
medium

first_screen_runs uninstall "$UNSUPPORTED_NT_TEXT"

expect_nothing_changed present
