// Writing a file whole or not at all: through a temporary file in the same folder that is put
// in place of the old one only once every byte is written, so a failed save leaves what was
// there.
#pragma once

#include <QByteArray>
#include <QString>

// Writes bytes to path; false and why ("PATH: File too large") when the file could not be
// written whole. The bytes go to the system as they are written, not through a buffer: a
// buffered write that the system takes only in part is otherwise not noticed, and the short
// file would replace the old one.
bool saveWhole(const QString& path, const QByteArray& bytes, QString* problem = nullptr);
