#include <windows.h>

#include "app/running_copies_win.h"
#include "app/start_request.h"
#include "app/sync_app.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before the program's own start: an installer's request touches no setting.
    if (ReadStartRequest(::GetCommandLineA()) == StartRequest::kEndRunningCopies) {
        return EndRunningCopiesOf(instance);
    }
    SyncApp app(instance);
    return app.Run();
}
