#include <windows.h>

#include "app/sync_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    SyncApp app(instance);
    return app.Run();
}
