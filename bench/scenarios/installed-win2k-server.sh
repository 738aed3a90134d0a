# First screen on Windows 2000 Server, product installed: Uninstall
# offered; Exit, Escape, the close button, Enter and space end the program
# and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows win2k-server
marker present
medium

first_screen_runs uninstall "Windows  2000  Server"

expect_nothing_changed present
