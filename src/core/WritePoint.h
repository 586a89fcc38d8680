#pragma once

// Every step that changes a file on disk (a write, a truncation, a flush to
// the disk, a link, a rename) first passes a write point. Normally nothing
// happens there. A fault test installs an observer that sees each point in
// turn and may fail that step with an error number, or end the process
// there, so that each point's outcome can be checked one by one.
using TWritePointObserver = int (*)();

// Installs the observer (nullptr removes it); returns the one it replaces.
TWritePointObserver SetWritePointObserver(TWritePointObserver observer);

// 0 to go on, or the error number the step is to fail with.
int PassWritePoint();
