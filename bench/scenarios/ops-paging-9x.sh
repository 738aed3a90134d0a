# Windows 9x paging in system.ini: moved to D: when D: is a fixed disk with
# more than 300 MB free, reset to a single space (Wine stores it empty)
# whether or not it was moved; the keys stay in [386Enh].
source "$BENCH_DIR/scenarios/common/ops.sh"
windows win98
disk_d cdrom
ops CanPageOnDriveD RelocatePaging9x
expect_ops_output "CanPageOnDriveD no"
expect_no_ini PagingDrive
expect_no_ini MaxPagingFileSize

disk_d fixed
ops CanPageOnDriveD RelocatePaging9x
expect_ops_output "CanPageOnDriveD yes"
expect_ini PagingDrive d:
expect_ini MaxPagingFileSize 307200

ops ResetPaging9x
expect_ini PagingDrive ""
expect_ini MaxPagingFileSize ""
expect_restart no
