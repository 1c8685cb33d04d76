#pragma once

class TCustomCommX;

// Brings back a COM link whose device went away (a USB adapter unplugged): once a device
// is there again under the same name, the port is opened again with the settings the
// component holds and started as the link selection starts it. Tells the user nothing;
// a port that another program has taken meanwhile is left to it. Does nothing when the
// link's device has not gone. True when the port was opened again.
bool RecoverLostLink(TCustomCommX& comm);
