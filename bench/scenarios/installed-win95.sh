# First screen on Windows 95, product installed: Uninstall offered; Exit,
# Escape, the close button, Enter and space end the program and change
# nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows win95
marker present
medium

first_screen_runs uninstall "Microsoft  Windows  95"

expect_nothing_changed present
