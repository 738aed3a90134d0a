# First screen on Windows NT 4.0 Workstation, product installed: Uninstall
# offered; Exit, Escape, the close button, Enter and space end the program
# and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows nt40
marker present
medium

first_screen_runs uninstall "Windows  NT  Workstation"

expect_nothing_changed present
