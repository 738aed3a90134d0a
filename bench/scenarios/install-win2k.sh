# A complete install on Windows 2000 Professional, with SCSI chosen: the
# driver from \NT\VNT.sys, no data file.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_nt win2k

install_script 1005 | drive

expect_restart yes
expect_nt_installed NT/VNT.sys
