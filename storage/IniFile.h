#pragma once

#include "FileResult.h"
#include "IniDocument.h"
#include "WritablePlace.h"

#include <QString>
#include <optional>

// Makes the write test on fileName, then reads it as a document. The test shows
// whether the place can be written without changing a byte of an existing file; a
// missing file is created empty. When the test or the read fails nullopt is returned,
// with what failed in `result`; the file is left as it was.
std::optional<IniDocument> OpenIniDocument(const QString& fileName, TFileResult* result = nullptr);

// Replaces the file's whole content with the document, through a temporary file in
// the same folder that is flushed and renamed over the old one. Only where the folder
// itself takes no new file (its permissions, a read-only mount) is the file written over
// in place, after room for the new content has been taken, and flushed. Any other
// failure leaves the file as it was.
TFileResult WriteIniDocument(const QString& fileName, const IniDocument& document);
