# A complete install on Windows XP Professional whose PagingFiles is the
# REG_SZ of a fresh prefix: written back as REG_MULTI_SZ with the first
# letter D.
source "$BENCH_DIR/scenarios/common/flow.sh"
machine_nt winxp fresh

install_script 1004 | drive

expect_restart yes
expect_nt_files NT/VNT.sys
expect_reg_values "$VNT_KEY" ErrorControl REG_DWORD 1 Type REG_DWORD 1 Start REG_DWORD 0
expect_paging_on D fresh
expect_reg_key "$MARKER"
