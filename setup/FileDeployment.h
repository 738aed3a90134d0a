// File primitives of install and uninstall: copies from the installation
// medium, the two folder lookups, path composition in FolderPaths, removal.
// Source paths begin with a backslash and resolve against the current drive.
#ifndef SETUP_FILEDEPLOYMENT_H
#define SETUP_FILEDEPLOYMENT_H

// Returns 1 when the source path opens for reading (and then copies it to the
// destination path unless a file of that name is there), 0 when it does not.
int CopySourceFile();

// Appends suffix to folder in place, copies it to the destination path and
// runs CopySourceFile. A composed path that would not fit 255 characters is
// not built: the folder is left alone and the result is 0.
int CopyIntoFolder(char* folder, const char* suffix);

// Copies path into the destination path and runs CopySourceFile.
int CopyToPath(const char* path);

// Appends suffix to folder in place and removes the file so named; skipped
// when the folder is empty (unknown) or the path would not fit.
void RemoveFromFolder(char* folder, const char* suffix);

// Removes an installed file: clears its attributes first, since a copy from a
// CD keeps the read-only attribute and a read-only file cannot be deleted.
void RemoveInstalledFile(const char* path);

// Puts the system directory into its buffer; empties the buffer when the
// lookup fails.
void LoadSystemDirectory();

// Puts the Start-menu Programs folder into its buffer; empties the buffer
// when the lookup fails or the path does not fit.
void LoadProgramsFolder();

// True when a file (not a directory) exists at the destination path.
bool DestinationFileExists();

extern const char* const kDataDirectory;  // "c:\kmdrv"

#endif
