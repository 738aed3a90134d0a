# First screen on Windows ME, product installed: Uninstall offered; Exit,
# Escape, the close button, Enter and space end the program and change
# nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows winme
marker present
medium

first_screen_runs uninstall "Windows Millennium Edition"

expect_nothing_changed present
