# First screen on Windows XP as a server edition, product not installed:
# Install offered; Exit, Escape and the close button end the program and
# change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows winxp-server
marker absent
medium

first_screen_runs install "Windows  XP  Server"

expect_nothing_changed absent
