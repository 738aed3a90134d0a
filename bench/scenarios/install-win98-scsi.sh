# A complete install on Windows 98 with SCSI: kmscsi.dat is the data file,
# kmide.dat is not placed.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_9x win98

install_script 1005 | drive

expect_restart yes
expect_9x_installed scsi
