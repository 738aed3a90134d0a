# RestartSystem really asks Windows to restart: a program with a window gets
# WM_QUERYENDSESSION and WM_ENDSESSION, and the restart runs the Run entries.
source "$BENCH_DIR/scenarios/common/ops.sh"
windows winxp
ops CanPageOnDriveD
expect_restart no
witness_start
ops RestartSystem
expect_ops_output "RestartSystem 1"
expect_witness WM_QUERYENDSESSION
expect_witness "WM_ENDSESSION TRUE"
expect_restart yes
