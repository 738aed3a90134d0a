# First screen on Windows XP Professional, product installed: Uninstall
# offered; Exit, Escape, the close button, Enter and space end the program
# and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows winxp
marker present
medium

first_screen_runs uninstall "Windows  XP  Professional"

expect_nothing_changed present
