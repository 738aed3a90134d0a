#include "setup/SetupState.h"

unsigned WindowsKind = 0;
int HddInterface = 0;
int ErrorFlag = 0;
FolderPathBuffers FolderPaths;

static SystemServices* g_services = 0;

SystemServices& Services() { return *g_services; }

void UseSystemServices(SystemServices* services) { g_services = services; }
