#include "ui/control.h"

#include <commctrl.h>

void ProgressControl::SetPos(int position) const {
    Send(PBM_SETPOS, static_cast<WPARAM>(position));
}
