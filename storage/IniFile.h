#pragma once

#include "IniDocument.h"

#include <QString>
#include <optional>

// The text of the box shown when a layout or settings file cannot be written.
QString CannotSaveMessage();

// True when fileName can be written: an existing file is a regular file that can be read
// and written (its folder may be read-only); a missing one can be made in its folder.
// Permission bits are honoured even for a superuser, so a read-only file stays read-only.
bool IsIniPlaceWritable(const QString& fileName);

// True when a file can be made in the folder, by the same permission rule.
bool IsFolderWritable(const QString& folderName);

// Makes the write test on fileName, then reads it as a document. The test shows
// whether the place can be written without changing a byte of an existing file; a
// missing file is created empty. When the test or the read fails the error box is
// shown and nullopt returned; the file is left as it was.
std::optional<IniDocument> OpenIniDocument(const QString& fileName);

// Replaces the file's whole content with the document, through a temporary file in
// the same folder that is flushed and renamed over the old one; where the folder takes
// no file, the file is written over in place and flushed.
bool WriteIniDocument(const QString& fileName, const IniDocument& document);

// Shows the error box for a file that cannot be written.
void ShowCannotSaveMessage();
