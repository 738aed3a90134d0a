# First screen on Windows ME, product not installed: Install offered; Exit,
# Escape and the close button end the program and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows winme
marker absent
medium

first_screen_runs install "Windows Millennium Edition"

expect_nothing_changed absent
