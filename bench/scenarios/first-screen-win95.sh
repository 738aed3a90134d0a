# First screen on Windows 95, product not installed: Install offered; Exit,
# Escape and the close button end the program and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows win95
marker absent
medium

first_screen_runs install "Microsoft  Windows  95"

expect_nothing_changed absent
