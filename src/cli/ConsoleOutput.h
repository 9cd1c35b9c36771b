#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>
#include <mutex>

struct LinkFailure;

// Exit statuses of the command line. With several ports the program ends
// with the worst (highest) of theirs.
namespace ExitStatus {
inline constexpr int Done = 0;        // done, everything equal
inline constexpr int Differs = 1;     // the detector and the file differ
inline constexpr int Usage = 2;       // the command line itself is wrong
inline constexpr int LinkFailure = 3; // a port could not be opened or stopped answering
inline constexpr int FileError = 4;   // a file could not be read or written, or was refused
} // namespace ExitStatus

// A message of several lines (the system's reason, then a hint) as one line
// of its own sentences.
QString OneLine(const QString& message);

// Where the command line's lines go, shared by the threads of several ports:
// results on standard output, problems on standard error, link failures also
// in the error log. A block of lines is written whole, never interleaved with
// another port's.
class ConsoleOutput {
public:
    ConsoleOutput(std::FILE* out = stdout, std::FILE* err = stderr) : m_out(out), m_err(err) {}

    void Print(const QStringList& lines);
    void PrintError(const QStringList& lines);
    // Appends the failure to the error log; says so on standard error when
    // the log cannot be written.
    void Log(const LinkFailure& failure);

private:
    std::mutex m_lock;
    std::FILE* m_out;
    std::FILE* m_err;
};
