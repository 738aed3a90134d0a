# First screen on Windows XP as a domain controller (product type 2: no
# edition), product not installed: Install offered; Exit, Escape and the
# close button end the program and change nothing.
source "$BENCH_DIR/scenarios/common/first-screen.sh"
windows winxp-dc
marker absent
medium

first_screen_runs install "Windows  XP  "

expect_nothing_changed absent
