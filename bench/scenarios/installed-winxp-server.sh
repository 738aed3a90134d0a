# First screen on Windows XP as a server edition, product installed:
# Uninstall offered; Exit, Escape, the close button, Enter and space end
# the program and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows winxp-server
marker present
medium

first_screen_runs uninstall "Windows  XP  Server"

expect_nothing_changed present
