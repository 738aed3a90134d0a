# First screen on Windows 98 (Wine always reports the Second Edition),
# product installed: Uninstall offered; Exit, Escape, the close button,
# Enter and space end the program and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows win98
marker present
medium

first_screen_runs uninstall "Microsoft  Windows  98 SE"

expect_nothing_changed present
