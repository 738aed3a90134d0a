# First screen on Windows NT 4.0 Workstation, product not installed:
# Install offered; Exit, Escape and the close button end the program and
# change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows nt40
marker absent
medium

first_screen_runs install "Windows  NT  Workstation"

expect_nothing_changed absent
