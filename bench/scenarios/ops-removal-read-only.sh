# A file copied from a read-only medium (every file on a CD) is read-only
# too, and the removal of an installed file still deletes it.
source "$BENCH_DIR/scenarios/common/ops.sh"
windows win98
medium --readonly
ops 'Copy=E:\Peek_B.exe>C:\windows\PeekCopy.exe' 'Copy=E:\absent.exe>C:\windows\absent.exe'
expect_ops_output "Copy 1"
expect_ops_output "Copy 0"
expect_file 'C:\windows\PeekCopy.exe' Peek_B.exe
host=$WINEPREFIX/drive_c/windows/PeekCopy.exe
if [ -n "$(find "$host" -perm /222)" ]; then
    _bench_result "copy is read-only" "the copy has write permission: $(stat -c %A "$host")"
else
    _bench_result "copy is read-only"
fi
ops 'RemoveInstalledFile=C:\windows\PeekCopy.exe'
expect_no_file 'C:\windows\PeekCopy.exe'
expect_file 'E:\Peek_B.exe' Peek_B.exe
