#include "PortRecovery.h"

#include "CommX.h"
#include "SelectLink.h"

bool RecoverLostLink(TCustomCommX& comm) {
    // A failed try leaves the component closed but still marked gone, so the next press
    // tries again.
    if (!comm.DeviceGone() || !comm.Reopen())
        return false;
    StartLink(comm);
    return true;
}
