#pragma once

class TCustomCommX;

// Port list index of the motion editor link; 1-30 are COM1-COM30, -1 is no selection.
inline constexpr int MotionEditorLink = 0;

// Chooses the link for a port list index and tells the user how it went in one box:
// the motion editor link closes the port; any other index (re)opens COMn at 115200 baud
// with the board's receive time-out, or reports that the port cannot be used and leaves
// it closed.
void SelectLink(TCustomCommX& comm, int index);

// What follows every opening of a COM link, by the user's choice or after the device
// came back: one DTR pulse, then both queues emptied.
void StartLink(TCustomCommX& comm);
