#pragma once
#include "client/FrigateError.h"

#include <QString>
#include <functional>

class QIODevice;
class QTemporaryFile;

// Files the user keeps (clips, snapshots) appear whole or not at all, and never replace one
// already there: they are written to a temporary file in the target folder and renamed at the end.

// "clip.mp4", then "clip (2).mp4", "clip (3).mp4"...
QString numberedName(const QString &name, int number);

// Renames the closed temporary file to `name` in `folder`, or the first free numbered name.
// Answers the final path.
Result<QString> publishWithoutReplacing(QTemporaryFile &file, const QString &folder, const QString &name);

// Writes a file of `folder` under `name` (or the first free numbered name) through `write`, which
// answers whether all went out; the bytes reach the disk (fdatasync) before the file gets its name.
// Blocks on the disk: call it off the GUI thread. Answers the final path.
Result<QString> writeDurably(const QString &folder, const QString &name, const std::function<bool(QIODevice &)> &write);

// True when `head` (a file's first bytes) starts with an ISO media "ftyp" box: an MP4 file.
bool looksLikeMp4(const QByteArray &head);
