#pragma once

#include "DetectorConfig.h"

#include <QString>

// Configuration files hold one record in its 44-byte memory layout, pad bytes
// included, with nothing before it. Longer files are read as their first 44
// bytes.

// A chosen name whose last three characters are not exactly "bin" (case
// matters) gets ".bin" appended.
QString ConfigSaveFileName(const QString& chosen);

// Error text for the user; empty when the operation succeeded.
using FileError = QString;

// Reads the first 44 bytes of `path` into `config`. On any failure `config` is
// left as it was and the returned text says why.
FileError ReadConfigFile(const QString& path, DetectorConfig& config);

// Creates (or replaces) `path` and writes the 44 bytes of `config`.
FileError WriteConfigFile(const QString& path, const DetectorConfig& config);
