# A complete install on Windows 2000 without a drive D:: the first paging
# file stays on C:, everything else is installed.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_nt win2k
disk_d none

install_script 1004 | drive

expect_restart yes
expect_nt_installed NT/VNT.sys nopaging
