#pragma once

#include "FileResult.h"

#include <QString>

// The box's text when a layout or settings file cannot be opened or written.
QString CannotSaveMessage();

// Shows the error box for a failed file operation: the fixed text, and on a second line
// what the system said when one of its calls failed; that line goes to standard error
// too. A file that is no layout gets its own box with its name. Does nothing for a
// result that is done.
void ReportFileFailure(const TFileResult& result);
