# NT paging: the first letter of PagingFiles moves to D: and back to C:,
# written back as REG_MULTI_SZ with everything else unchanged. D: here has
# tens of GB free, so the free-space test must not overflow 32 bits.
source "$BENCH_DIR/scenarios/common/ops.sh"
windows winxp
mm='HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Memory Management'
# A real NT system keeps PagingFiles as REG_MULTI_SZ; a fresh Wine prefix has
# a REG_SZ, which the program writes back byte for byte as REG_MULTI_SZ
# without the closing empty string (reg query then cuts its last character).
reg_set "$mm" PagingFiles REG_MULTI_SZ 'C:\pagefile.sys 27 77'
disk_d fixed
ops CanPageOnDriveD RelocatePagingNt
expect_ops_output "CanPageOnDriveD yes"
expect_reg "$mm" PagingFiles REG_MULTI_SZ 'D:\pagefile.sys 27 77'

reg_set "$mm" PagingFiles REG_MULTI_SZ 'E:\pagefile.sys 10 20\0F:\second.sys 5 9'
ops RestorePagingNt
expect_reg "$mm" PagingFiles REG_MULTI_SZ 'C:\pagefile.sys 10 20\0F:\second.sys 5 9'

disk_d none
ops CanPageOnDriveD RelocatePagingNt
expect_ops_output "CanPageOnDriveD no"
expect_reg "$mm" PagingFiles REG_MULTI_SZ 'C:\pagefile.sys 10 20\0F:\second.sys 5 9'
expect_restart no
