# A complete install on NT 4.0 Workstation: the NT 4.0 driver from
# \nt\vnt4.sys, the companion program twice, the VNT service, paging moved to
# D:, the marker, the success message and the restart. IDE is asked for but
# changes nothing on NT.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_nt nt40

install_script 1004 | drive

expect_restart yes
expect_nt_installed NT/vnt4.sys
