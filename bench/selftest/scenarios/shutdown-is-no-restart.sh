# The restart detector tells a restart from a shutdown: a shutdown request
# also ends the program but runs no Run entry.
windows winxp
medium
printf 'x' >"$BENCH_MEDIUM_DIR/shutdown.txt"

drive <<'SCRIPT'
start E:\Setup.exe E:\
click 1001
click 1004
click 1008
message "Warning" "Install OK !! System will be restart ......." question
exits
SCRIPT

expect_restart no
expect_reg_key 'HKLM\system\Veltrano Card'
