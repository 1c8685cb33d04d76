#pragma once

#include <QString>

// What a file operation of this layer did: done, or the step that failed, on which file,
// and what the system said. The caller decides what the user sees.
struct TFileResult {
    enum Step {
        Done,
        PlaceRefused,    // the write test: not a regular file, or not writable
        CreateTemporary, // the new content's temporary file beside the old one
        Open,
        Read,
        Write,
        Sync,
        Replace,    // the temporary file renamed over the old one
        NotALayout, // read, but without a [Form] section: a picture, a text file
    };

    Step step = Done;
    QString path;
    int error = 0; // errno of the failed call; 0 when no system call failed
    QString systemText;

    bool ok() const { return step == Done; }

    // A failed call: the step, the file and errno with its text.
    static TFileResult Failed(Step step, const QString& path, int error);
    // A failed call known only by the text the file layer gave (Qt's errorString).
    static TFileResult Failed(Step step, const QString& path, int error, const QString& text);

    // One line for the user: what failed, on which file, and the system's words. Empty
    // when done, when the place was refused by the write test alone, or for a file that
    // is no layout.
    QString Explain() const;
};
